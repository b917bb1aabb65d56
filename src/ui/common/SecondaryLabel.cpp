#include "ui/common/SecondaryLabel.h"

#include "ui/common/HistoryAppearance.h"
#include "ui/common/Symbols.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {
constexpr int symbolSpacing = 6;
}

SecondaryLabel::SecondaryLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void SecondaryLabel::setSymbol(const QString& name)
{
    m_symbol = name;
    updateGeometry();
    update();
}

int SecondaryLabel::symbolSide() const
{
    return m_symbol.isEmpty() ? 0 : fontMetrics().height();
}

QSize SecondaryLabel::sizeHint() const
{
    const int symbolWidth = m_symbol.isEmpty() ? 0 : symbolSide() + symbolSpacing;
    const QMargins margins = contentsMargins();
    // Rounded up, so that elision at paint time never trims a text that was measured to fit.
    const int textWidth = int(std::ceil(QFontMetricsF(font()).horizontalAdvance(text()))) + 1;
    return QSize(symbolWidth + textWidth + margins.left() + margins.right(),
                 fontMetrics().height() + margins.top() + margins.bottom());
}

QSize SecondaryLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return QSize(symbolSide() + margins.left() + margins.right(),
                 fontMetrics().height() + margins.top() + margins.bottom());
}

void SecondaryLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor colour = HistoryAppearance::secondary(this);
    QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(
        text(), Qt::ElideRight, area.width() - (m_symbol.isEmpty() ? 0 : symbolSide() + symbolSpacing));
    const int textWidth = fontMetrics().horizontalAdvance(shown);
    const int contentWidth = (m_symbol.isEmpty() ? 0 : symbolSide() + symbolSpacing) + textWidth;
    if (alignment() & Qt::AlignRight)
        area.setLeft(area.right() + 1 - contentWidth);
    else if (alignment() & Qt::AlignHCenter)
        area.setLeft(area.left() + (area.width() - contentWidth) / 2);
    if (!m_symbol.isEmpty()) {
        const int side = symbolSide();
        const QPixmap symbol = Symbols::pixmap(m_symbol, side, devicePixelRatioF(), colour);
        painter.drawPixmap(area.left(), area.top() + (area.height() - side) / 2, symbol);
        area.setLeft(area.left() + side + symbolSpacing);
    }
    painter.setPen(colour);
    painter.setFont(font());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
}
