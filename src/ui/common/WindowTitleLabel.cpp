#include "ui/common/WindowTitleLabel.h"

#include <QMouseEvent>
#include <QWindow>

WindowTitleLabel::WindowTitleLabel(const QString& title, QWidget* parent) : QLabel(title, parent)
{
    QFont titleFont = font();
    titleFont.setPointSizeF(13);
    titleFont.setWeight(QFont::Medium);
    setFont(titleFont);
    setAlignment(Qt::AlignCenter);
    setForegroundRole(QPalette::WindowText);
}

void WindowTitleLabel::mousePressEvent(QMouseEvent* event)
{
    QWindow* handle = window()->windowHandle();
    if (event->button() == Qt::LeftButton && handle && handle->startSystemMove()) {
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}
