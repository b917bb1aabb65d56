#pragma once

#include "models/ClipboardKind.h"
#include "ui/common/CapsuleMenuButton.h"

#include <QList>
#include <optional>

class OptionList;

// The sidebar's kind filter: a capsule naming the selected kind that opens a list of all kinds below
// it. No selection means all kinds.
class HistoryFilterMenu : public CapsuleMenuButton {
    Q_OBJECT

public:
    explicit HistoryFilterMenu(QWidget* parent = nullptr);

    // All kinds (nullopt) first, then every kind; fixed for the menu's life.
    const QList<std::optional<ClipboardKind>>& options() const { return m_options; }

    std::optional<ClipboardKind> selection() const { return m_selection; }
    void setSelection(std::optional<ClipboardKind> selection);
    // Inside options(): selects that option and closes the list; otherwise nothing happens.
    void selectOption(int index);

    int highlightedIndex() const { return m_highlightedIndex; }
    // Clamped to options().
    void setHighlightedIndex(int index);

    bool isPresented() const { return m_presented; }
    // Highlights the current selection and opens the list.
    void present();
    void dismiss();

    OptionList* optionList() const { return m_list; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void selectionChanged();
    void highlightedIndexChanged();
    void presentedChanged();

protected:
    QColor restingFill() const override;
    bool isOpen() const override;

private:
    void retranslate();
    void setPresented(bool presented);

    QList<std::optional<ClipboardKind>> m_options;
    std::optional<ClipboardKind> m_selection;
    int m_highlightedIndex = 0;
    bool m_presented = false;
    OptionList* m_list = nullptr;
};
