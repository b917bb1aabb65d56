#include "ui/common/ActivityIndicator.h"

#include "ui/common/HistoryAppearance.h"

#include <QPainter>
#include <QtMath>

ActivityIndicator::ActivityIndicator(int size, QWidget* parent) : QWidget(parent), m_size(size)
{
    m_timer.setInterval(stepInterval);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spokes;
        update();
    });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ActivityIndicator::paint(QPainter& painter, QPointF centre, qreal size, const QColor& colour, int step)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(centre);
    const qreal outer = size / 2.0;
    QPen pen(colour, 2, Qt::SolidLine, Qt::RoundCap);
    for (int spoke = 0; spoke < spokes; ++spoke) {
        // The spoke at the current step is darkest and the trail fades behind it.
        const int age = (step - spoke + spokes) % spokes;
        QColor shade = colour;
        shade.setAlphaF(colour.alphaF() * (1.0 - 0.8 * age / spokes));
        pen.setColor(shade);
        painter.setPen(pen);
        const qreal angle = 2 * M_PI * spoke / spokes;
        const QPointF direction(qSin(angle), -qCos(angle));
        painter.drawLine(direction * outer * 0.45, direction * outer);
    }
    painter.restore();
}

QSize ActivityIndicator::sizeHint() const
{
    return QSize(m_size, m_size);
}

void ActivityIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, QRectF(rect()).center(), m_size, HistoryAppearance::secondary(this), m_step);
}

// The timer runs only while the spinner can be seen.
void ActivityIndicator::showEvent(QShowEvent* event)
{
    m_timer.start();
    QWidget::showEvent(event);
}

void ActivityIndicator::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}
