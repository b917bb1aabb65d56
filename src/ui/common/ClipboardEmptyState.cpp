#include "ui/common/ClipboardEmptyState.h"

#include "ui/common/HistoryAppearance.h"

#include <QPainter>

namespace {
constexpr int padding = 24;
}

ClipboardEmptyState::ClipboardEmptyState(const QString& message, QWidget* parent) : QWidget(parent)
{
    QFont font = this->font();
    font.setPointSizeF(13);
    setFont(font);
    setMessage(message);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ClipboardEmptyState::setMessage(const QString& message)
{
    if (m_message == message)
        return;
    m_message = message;
    setAccessibleName(message);
    updateGeometry();
    update();
}

QSize ClipboardEmptyState::sizeHint() const
{
    const QRect text =
        fontMetrics().boundingRect(QRect(0, 0, 320, 10000), Qt::AlignCenter | Qt::TextWordWrap, m_message);
    return text.size() + QSize(2 * padding, 2 * padding);
}

QSize ClipboardEmptyState::minimumSizeHint() const
{
    return QSize(2 * padding, fontMetrics().height() + 2 * padding);
}

void ClipboardEmptyState::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(HistoryAppearance::secondary(this));
    painter.setFont(font());
    painter.drawText(rect().adjusted(padding, padding, -padding, -padding),
                     Qt::AlignCenter | Qt::TextWordWrap, m_message);
}
