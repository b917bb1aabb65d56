#pragma once

#include <QDialog>

class HistoryButton;
class QLabel;

// Asks before the whole history is deleted: the question and what it means beside a trash symbol,
// then Cancel and a destructive Clear History. Cancel has the focus, so Return, Escape and the close
// button all keep the history; the dialog is accepted only through Clear History. Fixed in size, with
// no minimise or maximise button; it follows the theme and the interface language.
class ClearHistoryDialog : public QDialog {
    Q_OBJECT

public:
    explicit ClearHistoryDialog(QWidget* parent = nullptr);

    QLabel* questionLabel() const { return m_question; }
    QLabel* explanationLabel() const { return m_explanation; }
    HistoryButton* clearButton() const { return m_clear; }
    HistoryButton* cancelButton() const { return m_cancel; }

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void retranslate();
    void updateColours();

    QLabel* m_symbol = nullptr;
    QLabel* m_question = nullptr;
    QLabel* m_explanation = nullptr;
    HistoryButton* m_cancel = nullptr;
    HistoryButton* m_clear = nullptr;
};
