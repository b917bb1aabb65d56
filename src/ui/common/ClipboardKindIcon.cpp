#include "ui/common/ClipboardKindIcon.h"

#include "ui/common/Symbols.h"

#include <QPainter>

ClipboardKindIcon::ClipboardKindIcon(std::optional<ClipboardKind> kind, int size, QWidget* parent)
    : QWidget(parent), m_kind(kind), m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString ClipboardKindIcon::symbolName(std::optional<ClipboardKind> kind)
{
    if (!kind)
        return QStringLiteral("square.grid.2x2");
    switch (*kind) {
    case ClipboardKind::text:
        return QStringLiteral("textformat.alt");
    case ClipboardKind::link:
        return QStringLiteral("link");
    case ClipboardKind::image:
        return QStringLiteral("photo");
    case ClipboardKind::file:
        return QStringLiteral("doc");
    }
    return QStringLiteral("square.grid.2x2");
}

QPixmap ClipboardKindIcon::pixmap(std::optional<ClipboardKind> kind, int size, qreal devicePixelRatio,
                                  const QColor& colour)
{
    return Symbols::pixmap(symbolName(kind), size, devicePixelRatio, colour);
}

void ClipboardKindIcon::setKind(std::optional<ClipboardKind> kind)
{
    if (m_kind == kind)
        return;
    m_kind = kind;
    update();
}

void ClipboardKindIcon::setSize(int size)
{
    if (m_size == size)
        return;
    m_size = size;
    updateGeometry();
    update();
}

void ClipboardKindIcon::setColour(std::optional<QColor> colour)
{
    m_colour = colour;
    update();
}

QSize ClipboardKindIcon::sizeHint() const
{
    return {m_size, m_size};
}

void ClipboardKindIcon::paintEvent(QPaintEvent*)
{
    const QColor colour = m_colour.value_or(palette().color(foregroundRole()));
    const int side = std::min({m_size, width(), height()});
    const QPixmap symbol = pixmap(m_kind, side, devicePixelRatioF(), colour);
    QPainter painter(this);
    painter.drawPixmap((width() - side) / 2, (height() - side) / 2, symbol);
}
