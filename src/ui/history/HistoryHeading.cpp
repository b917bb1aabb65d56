#include "ui/history/HistoryHeading.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {

constexpr qreal shrinkStep = 0.5;

} // namespace

HistoryHeading::HistoryHeading(QWidget* parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QFont HistoryHeading::shownFont() const
{
    QFont shown = font();
    const int available = contentsRect().width();
    while (shown.pointSizeF() - shrinkStep >= smallestPointSize &&
           QFontMetrics(shown).horizontalAdvance(text()) > available)
        shown.setPointSizeF(shown.pointSizeF() - shrinkStep);
    return shown;
}

QString HistoryHeading::shownText() const
{
    return QFontMetrics(shownFont()).elidedText(text(), Qt::ElideRight, contentsRect().width());
}

// The layout may narrow the heading to nothing; the buttons beside it keep their room.
QSize HistoryHeading::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

bool HistoryHeading::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (shownText() != text())
            QToolTip::showText(help->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void HistoryHeading::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(shownFont());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}
