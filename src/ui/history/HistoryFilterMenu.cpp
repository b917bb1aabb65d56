#include "ui/history/HistoryFilterMenu.h"

#include "l10n/Localization.h"
#include "ui/common/ClipboardKindIcon.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/OptionList.h"
#include "ui/common/Symbols.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr QSize controlSize(116, 28);

QList<std::optional<ClipboardKind>> makeOptions()
{
    QList<std::optional<ClipboardKind>> options{std::nullopt};
    for (ClipboardKind kind : ClipboardKinds::allCases)
        options.append(kind);
    return options;
}

} // namespace

HistoryFilterMenu::HistoryFilterMenu(QWidget* parent) : CapsuleMenuButton(parent), m_options(makeOptions())
{
    setFixedSize(controlSize);
    // Like the other sidebar buttons: reachable with Tab, but a click leaves no focus fill behind.
    setFocusPolicy(Qt::TabFocus);
    QFont labelFont = font();
    labelFont.setPointSizeF(12);
    setFont(labelFont);

    m_list = new OptionList(
        int(m_options.size()),
        [this](int index) {
            return m_options[index] ? ClipboardKinds::title(*m_options[index])
                                    : L10n::text(L10n::Key::allTypes);
        },
        [this](int index, int size, qreal ratio, const QColor& colour) {
            return ClipboardKindIcon::pixmap(m_options[index], size, ratio, colour);
        },
        this);
    m_list->setSelectedIndex(0);
    connect(m_list, &OptionList::highlightRequested, this, &HistoryFilterMenu::setHighlightedIndex);
    connect(m_list, &OptionList::optionChosen, this, &HistoryFilterMenu::selectOption);
    connect(m_list, &OptionList::dismissed, this, [this] { setPresented(false); });
    connect(this, &QAbstractButton::clicked, this, &HistoryFilterMenu::present);
    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            &HistoryFilterMenu::retranslate);
    retranslate();
}

void HistoryFilterMenu::setSelection(std::optional<ClipboardKind> selection)
{
    if (m_selection == selection)
        return;
    m_selection = selection;
    m_list->setSelectedIndex(int(m_options.indexOf(selection)));
    retranslate();
    Q_EMIT selectionChanged();
}

void HistoryFilterMenu::selectOption(int index)
{
    if (index < 0 || index >= m_options.size())
        return;
    setSelection(m_options[index]);
    dismiss();
}

void HistoryFilterMenu::setHighlightedIndex(int index)
{
    index = std::clamp(index, 0, int(m_options.size()) - 1);
    if (m_highlightedIndex == index)
        return;
    m_highlightedIndex = index;
    m_list->setHighlightedIndex(index);
    Q_EMIT highlightedIndexChanged();
}

void HistoryFilterMenu::present()
{
    const qsizetype current = m_options.indexOf(m_selection);
    setHighlightedIndex(current < 0 ? 0 : int(current));
    if (m_presented)
        return;
    setPresented(true);
    m_list->popUp();
}

void HistoryFilterMenu::dismiss()
{
    if (m_list->isVisible())
        m_list->close();
    setPresented(false);
}

void HistoryFilterMenu::setPresented(bool presented)
{
    if (m_presented == presented)
        return;
    m_presented = presented;
    update();
    Q_EMIT presentedChanged();
}

QSize HistoryFilterMenu::sizeHint() const
{
    return controlSize;
}

void HistoryFilterMenu::retranslate()
{
    setText(m_selection ? ClipboardKinds::title(*m_selection) : L10n::text(L10n::Key::allTypes));
    // The control's purpose and its current value, as a pop-up button is announced.
    setAccessibleName(L10n::text(L10n::Key::contentType) + QStringLiteral(", ") + text());
}

QColor HistoryFilterMenu::restingFill() const
{
    return HistoryAppearance::card(this);
}

bool HistoryFilterMenu::isOpen() const
{
    return m_presented;
}
