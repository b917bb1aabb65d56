#pragma once

#include <QWidget>

class HistoryButton;
class QLabel;

// The model's current error across the top of the detail pane, with a button that dismisses it.
class ErrorBanner : public QWidget {
    Q_OBJECT

public:
    explicit ErrorBanner(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    HistoryButton* dismissButton() const { return m_dismiss; }
    void retranslate();

Q_SIGNALS:
    void dismissed();

private:
    void updateSymbol();

    QLabel* m_symbol = nullptr;
    QLabel* m_text = nullptr;
    HistoryButton* m_dismiss = nullptr;
};
