#pragma once

#include <QLabel>

// One line of text in the secondary colour, optionally after a symbol, elided at the right. The
// colour is resolved at each paint, so theme changes reach it.
class SecondaryLabel : public QLabel {
    Q_OBJECT

public:
    explicit SecondaryLabel(QWidget* parent = nullptr);

    // A name from Symbols drawn before the text at the font's height, or empty for none.
    void setSymbol(const QString& name);
    QString symbol() const { return m_symbol; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int symbolSide() const;

    QString m_symbol;
};
