#include "ui/settings/SettingsPicker.h"

#include "ui/common/HistoryAppearance.h"
#include "ui/common/Symbols.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int controlHeight = 28;
constexpr int narrowestWidth = 116;
constexpr int leadingPadding = 12;
constexpr int trailingPadding = 30;
constexpr int chevronSize = 10;
constexpr int chevronInset = 12;

} // namespace

SettingsPicker::SettingsPicker(int count, OptionList::Name name, QWidget* parent)
    : QAbstractButton(parent), m_name(std::move(name))
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

void SettingsPicker::keyPressEvent(QKeyEvent* event)
{
    // Space is QAbstractButton's; Return opens the list as it activates any focused button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void SettingsPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath capsule;
    capsule.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    // On the card's own fill, the capsule takes the text background to stand out from it.
    QColor fill = palette().color(QPalette::Active, QPalette::Base);
    if (isDown() || m_list->isVisible())
        fill = HistoryAppearance::hover(this);
    else if (hasFocus())
        fill = HistoryAppearance::selected(this);
    painter.fillPath(capsule, fill);

    const QColor primary = palette().color(QPalette::Active, QPalette::WindowText);
    const QRect labelRect(leadingPadding, 0, std::max(0, width() - leadingPadding - trailingPadding),
                          height());
    painter.setPen(primary);
    painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     fontMetrics().elidedText(text(), Qt::ElideRight, labelRect.width()));
    painter.drawPixmap(
        width() - chevronInset - chevronSize, (height() - chevronSize) / 2,
        Symbols::pixmap(QStringLiteral("chevron.down"), chevronSize, devicePixelRatioF(), primary));
}
