#pragma once

#include <QWidget>

class QAbstractButton;
class QLineEdit;

// The sidebar's search box: a magnifying glass, a borderless input and, while there is text, a button
// that clears it. Escape in the input clears it too; Down in it is offered to what lies below.
class HistorySearchField : public QWidget {
    Q_OBJECT

public:
    explicit HistorySearchField(QWidget* parent = nullptr);

    QString text() const;
    // Leaves the input alone when the text is already this, so a two-way binding neither loops nor
    // moves the cursor.
    void setText(const QString& text);
    void setFocusToInput();
    bool isInputFocused() const;

    QLineEdit* lineEdit() const { return m_input; }
    QAbstractButton* clearButton() const { return m_clear; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void textChanged(const QString& text);
    // Down was pressed in the input.
    void downPressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void retranslate();
    void updateColours();
    void clear();

    QLineEdit* m_input = nullptr;
    QAbstractButton* m_clear = nullptr;
};
