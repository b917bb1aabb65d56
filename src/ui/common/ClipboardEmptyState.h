#pragma once

#include <QWidget>

// One centred message in the secondary colour, filling the space it is given.
class ClipboardEmptyState : public QWidget {
    Q_OBJECT

public:
    explicit ClipboardEmptyState(const QString& message = QString(), QWidget* parent = nullptr);

    QString message() const { return m_message; }
    void setMessage(const QString& message);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_message;
};
