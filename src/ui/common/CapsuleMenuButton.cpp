#include "ui/common/CapsuleMenuButton.h"

#include "ui/common/HistoryAppearance.h"
#include "ui/common/Symbols.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int chevronSize = 10;
constexpr int chevronInset = 12;

} // namespace

void CapsuleMenuButton::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CapsuleMenuButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath capsule;
    capsule.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    // Keyboard focus and an open list show through the fill, as on the other buttons.
    QColor fill = restingFill();
    if (isDown() || isOpen())
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
