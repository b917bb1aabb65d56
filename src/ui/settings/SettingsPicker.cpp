#include "ui/settings/SettingsPicker.h"

#include "ui/common/HistoryAppearance.h"
#include "ui/common/Symbols.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int controlHeight = 28;
constexpr int narrowestWidth = 116;

} // namespace

SettingsPicker::SettingsPicker(int count, OptionList::Name name, QWidget* parent)
    : CapsuleMenuButton(parent), m_name(std::move(name))
{
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QFont labelFont = font();
    labelFont.setPointSizeF(12);
    setFont(labelFont);
    m_list = new OptionList(count, m_name, {}, this);
    m_list->setSelectedIndex(m_currentIndex);
    // The pickers sit at the trailing edge of their rows.
    m_list->setAnchorEdge(Qt::AlignRight);
    connect(m_list, &OptionList::highlightRequested, m_list, &OptionList::setHighlightedIndex);
    connect(m_list, &OptionList::optionChosen, this, &SettingsPicker::choose);
    connect(m_list, &OptionList::dismissed, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::clicked, this, &SettingsPicker::present);
    retranslate();
}

void SettingsPicker::setCurrentIndex(int index)
{
    if (index < 0 || index >= m_list->count() || index == m_currentIndex)
        return;
    m_currentIndex = index;
    m_list->setSelectedIndex(index);
    retranslate();
}

void SettingsPicker::setPurpose(const QString& purpose)
{
    m_purpose = purpose;
    retranslate();
}

void SettingsPicker::present()
{
    m_list->setHighlightedIndex(m_currentIndex);
    if (!m_list->isVisible())
        m_list->popUp();
    update();
}

void SettingsPicker::choose(int index)
{
    m_list->close();
    setCurrentIndex(index);
    Q_EMIT activated(index);
}

void SettingsPicker::retranslate()
{
    setText(m_name(m_currentIndex));
    setAccessibleName(m_purpose.isEmpty() ? text() : m_purpose + QStringLiteral(", ") + text());
    updateGeometry();
    update();
}

QSize SettingsPicker::sizeHint() const
{
    return {
        std::max(narrowestWidth, leadingPadding + fontMetrics().horizontalAdvance(text()) + trailingPadding),
        controlHeight};
}

QColor SettingsPicker::restingFill() const
{
    // On the card's own fill, the capsule takes the text background to stand out from it.
    return palette().color(QPalette::Active, QPalette::Base);
}

bool SettingsPicker::isOpen() const
{
    return m_list->isVisible();
}
