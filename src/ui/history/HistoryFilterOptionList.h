#pragma once

#include "models/ClipboardKind.h"

#include <QList>
#include <QWidget>
#include <optional>

class QAbstractButton;

// The kind filter's popup: one row per option with its icon, name and a checkmark on the selected
// one, and a highlight that the pointer and the arrow keys move. It only shows state and reports
// what the user asks for; HistoryFilterMenu owns the state.
class HistoryFilterOptionList : public QWidget {
    Q_OBJECT

public:
    // anchor: the control it opens from; also its owner.
    HistoryFilterOptionList(const QList<std::optional<ClipboardKind>>& options, QWidget* anchor);

    int count() const { return int(m_rows.size()); }
    std::optional<ClipboardKind> selection() const { return m_selection; }
    void setSelection(std::optional<ClipboardKind> selection);
    int highlightedIndex() const { return m_highlightedIndex; }
    void setHighlightedIndex(int index);
    QAbstractButton* optionButton(int index) const;

    // Shows it below the anchor, or above when the screen has no room below.
    void popUp();

Q_SIGNALS:
    void highlightRequested(int index);
    void optionChosen(int index);
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void retranslate();
    void updateRows();

    QWidget* m_anchor;
    QList<std::optional<ClipboardKind>> m_options;
    QList<QAbstractButton*> m_rows;
    std::optional<ClipboardKind> m_selection;
    int m_highlightedIndex = 0;
};
