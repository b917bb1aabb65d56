#include "ui/common/HistoryFocusRing.h"

#include "ui/common/HistoryAppearance.h"

#include <QEvent>
#include <QPainter>
#include <QPen>

HistoryFocusRing* HistoryFocusRing::attach(QWidget* target, QWidget* frame)
{
    return new HistoryFocusRing(target, frame ? frame : target);
}

HistoryFocusRing::HistoryFocusRing(QWidget* target, QWidget* frame) : QWidget(frame), m_target(target)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(frame->rect());
    frame->installEventFilter(this);
    target->installEventFilter(this);
    raise();
}

bool HistoryFocusRing::isLit() const
{
    return m_target && m_target->hasFocus() && isActiveWindow();
}

bool HistoryFocusRing::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == parentWidget())
            setGeometry(parentWidget()->rect());
        break;
    case QEvent::ChildAdded:
        // Whatever the frame gains later must not cover the ring.
        if (watched == parentWidget())
            raise();
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (watched == m_target)
            update();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryFocusRing::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        update();
}

void HistoryFocusRing::paintEvent(QPaintEvent*)
{
    if (!isLit())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(HistoryAppearance::blue(this), width));
    painter.setBrush(Qt::NoBrush);
    const qreal middle = inset + width / 2;
    painter.drawRoundedRect(QRectF(rect()).adjusted(middle, middle, -middle, -middle), radius, radius);
}
