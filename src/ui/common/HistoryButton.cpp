#include "ui/common/HistoryButton.h"

#include "ui/common/Symbols.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHoverEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace {

constexpr int symbolTextSpacing = 6;

} // namespace

HistoryButton::HistoryButton(HistoryButtonStyle::Kind kind, QWidget* parent)
    : QAbstractButton(parent), m_kind(kind)
{
    setAttribute(Qt::WA_Hover);
    // Clicking must not leave a focus fill behind; Tab still reaches the button.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

HistoryButton::HistoryButton(HistoryButtonStyle::Kind kind, const QString& text, QWidget* parent)
    : HistoryButton(kind, parent)
{
    setText(text);
}

void HistoryButton::setKind(HistoryButtonStyle::Kind kind)
{
    if (m_kind == kind)
        return;
    m_kind = kind;
    updateGeometry();
    update();
}

void HistoryButton::setSymbol(const QString& name)
{
    if (m_symbol == name)
        return;
    m_symbol = name;
    updateGeometry();
    update();
}

void HistoryButton::setSymbolSize(int size)
{
    if (m_symbolSize == size)
        return;
    m_symbolSize = size;
    updateGeometry();
    update();
}

HistoryButtonStyle::State HistoryButton::state() const
{
    return {isEnabled(), isDown(), m_hovered, hasFocus()};
}

QSize HistoryButton::sizeHint() const
{
    const HistoryButtonStyle::Metrics metrics = HistoryButtonStyle::metrics(m_kind);
    const QFontMetrics fontMetrics(font());
    int contentWidth = 0;
    int contentHeight = 0;
    if (!m_symbol.isEmpty()) {
        contentWidth = m_symbolSize;
        contentHeight = m_symbolSize;
    }
    if (!text().isEmpty()) {
        if (contentWidth > 0)
            contentWidth += symbolTextSpacing;
        contentWidth += fontMetrics.horizontalAdvance(text());
        contentHeight = std::max(contentHeight, fontMetrics.height());
    }
    const int height = std::max(metrics.height, contentHeight);
    // An icon button stays at least square so its fill is never a sliver.
    const int width = std::max(contentWidth + 2 * metrics.horizontalPadding,
                               m_kind == HistoryButtonStyle::Kind::icon ? height : 0);
    return {width, height};
}

QSize HistoryButton::minimumSizeHint() const
{
    return sizeHint();
}

QPainterPath HistoryButton::shape() const
{
    const HistoryButtonStyle::Metrics metrics = HistoryButtonStyle::metrics(m_kind);
    const QRectF bounds = rect();
    const qreal radius = metrics.capsule ? std::min(bounds.width(), bounds.height()) / 2 : metrics.radius;
    QPainterPath path;
    path.addRoundedRect(bounds, radius, radius);
    return path;
}

bool HistoryButton::hitButton(const QPoint& position) const
{
    return shape().contains(QPointF(position) + QPointF(0.5, 0.5));
}

void HistoryButton::setHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    update();
}

bool HistoryButton::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        setHovered(hitButton(static_cast<QHoverEvent*>(event)->position().toPoint()));
        break;
    case QEvent::HoverLeave:
        setHovered(false);
        break;
    default:
        break;
    }
    return QAbstractButton::event(event);
}

void HistoryButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    // A button that does nothing is no Tab stop.
    if (event->type() == QEvent::EnabledChange)
        setFocusPolicy(isEnabled() ? Qt::TabFocus : Qt::NoFocus);
}

void HistoryButton::keyPressEvent(QKeyEvent* event)
{
    // Space is handled by QAbstractButton; Return and Enter activate as they do on a focused
    // push button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            animateClick();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void HistoryButton::paintEvent(QPaintEvent*)
{
    const QPalette& colours = palette();
    const HistoryButtonStyle::State current = state();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!current.enabled)
        painter.setOpacity(HistoryButtonStyle::disabledOpacity);

    const QColor fill = HistoryButtonStyle::background(m_kind, current, colours);
    if (fill.alpha() > 0)
        painter.fillPath(shape(), fill);
    const QColor ring = HistoryButtonStyle::focusRing(m_kind, current, colours);
    if (ring.alpha() > 0) {
        const qreal inset = HistoryButtonStyle::focusRingInset + HistoryButtonStyle::focusRingWidth / 2;
        const QRectF bounds = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
        const HistoryButtonStyle::Metrics metrics = HistoryButtonStyle::metrics(m_kind);
        const qreal radius =
            metrics.capsule ? bounds.height() / 2 : std::max<qreal>(metrics.radius - inset, 2);
        painter.setPen(QPen(ring, HistoryButtonStyle::focusRingWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds, radius, radius);
    }

    const QColor foreground = HistoryButtonStyle::foreground(m_kind, colours);
    const QFontMetrics fontMetrics(font());
    const bool hasSymbol = !m_symbol.isEmpty();
    const int textWidth = text().isEmpty() ? 0 : fontMetrics.horizontalAdvance(text());
    const int contentWidth =
        (hasSymbol ? m_symbolSize : 0) + (hasSymbol && textWidth > 0 ? symbolTextSpacing : 0) + textWidth;
    // Whole pixels keep the symbol's strokes crisp.
    int x = (width() - contentWidth) / 2;
    if (hasSymbol) {
        const QPixmap symbol = Symbols::pixmap(m_symbol, m_symbolSize, devicePixelRatioF(), foreground);
        painter.drawPixmap(x, (height() - m_symbolSize) / 2, symbol);
        x += m_symbolSize + (textWidth > 0 ? symbolTextSpacing : 0);
    }
    if (textWidth > 0) {
        painter.setPen(foreground);
        painter.setFont(font());
        painter.drawText(QRect(x, 0, width() - x, height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }
}
