#include "ui/history/HistorySplitController.h"

#include "app/Preferences.h"
#include "ui/common/HistoryAppearance.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// The splitter leaves 1 px between the panes and centres the handle on it; the handle then widens
// itself around that line above both panes, so the panes run up to the line and the grab area reaches
// into each of them. Only the line is painted: the panes show through the rest.
class DividerHandle final : public QSplitterHandle {
public:
    DividerHandle(Qt::Orientation orientation, QSplitter* parent, int grabWidth)
        : QSplitterHandle(orientation, parent), m_grabWidth(grabWidth)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(width() / 2, 0, 1, height(), palette().color(QPalette::Mid));
    }

    void moveEvent(QMoveEvent* event) override
    {
        QSplitterHandle::moveEvent(event);
        widen();
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QSplitterHandle::resizeEvent(event);
        widen();
    }

    // The splitter's own dragging takes the press point as the handle's left edge; ours keeps the line
    // where it was relative to the pointer.
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_grabOffset = qRound(event->position().x()) - width() / 2;
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_grabOffset || !(event->buttons() & Qt::LeftButton))
            return;
        const int line = splitter()->mapFromGlobal(event->globalPosition().toPoint()).x() - *m_grabOffset;
        moveSplitter(closestLegalPosition(line));
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_grabOffset.reset();
    }

private:
    void widen()
    {
        if (width() == m_grabWidth)
            return;
        const int line = x() + width() / 2;
        setGeometry(line - m_grabWidth / 2, y(), m_grabWidth, height());
    }

    int m_grabWidth;
    std::optional<int> m_grabOffset;
};

} // namespace

HistorySplitController::HistorySplitController(QWidget* sidebar, QWidget* detail, Preferences& preferences,
                                               QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), m_preferences(preferences)
{
    setHandleWidth(1);
    setChildrenCollapsible(false);
    sidebar->setMinimumWidth(sidebarMinimumWidth);
    sidebar->setMaximumWidth(sidebarMaximumWidth);
    detail->setMinimumWidth(detailMinimumWidth);
    addWidget(sidebar);
    addWidget(detail);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    divider()->raise();
    connect(this, &QSplitter::splitterMoved, this, [this] { saveWidth(); });
}

int HistorySplitController::sidebarWidth() const
{
    return sidebar()->width();
}

void HistorySplitController::layOut()
{
    refresh();
    settle();
}

void HistorySplitController::applyStoredWidth()
{
    if (m_initialWidthApplied || isWindow() ||
        width() < handleWidth() + sidebarMinimumWidth + detailMinimumWidth)
        return;
    m_initialWidthApplied = true;
    const double stored = m_preferences.doubleValue(Preferences::Key::historySidebarWidth);
    const int wanted =
        stored > 0 ? static_cast<int>(std::lround(std::min(stored, 1e6))) : sidebarDefaultWidth;
    const int sidebar = std::clamp(wanted, sidebarMinimumWidth, sidebarMaximumWidth);
    setSizes({sidebar, width() - handleWidth() - sidebar});
    m_knownWidth = sidebarWidth();
}

QSplitterHandle* HistorySplitController::createHandle()
{
    return new DividerHandle(orientation(), this, dividerGrabWidth);
}

void HistorySplitController::resizeEvent(QResizeEvent* event)
{
    QSplitter::resizeEvent(event);
    settle();
}

void HistorySplitController::settle()
{
    if (m_initialWidthApplied)
        saveWidth();
    else
        applyStoredWidth();
}

void HistorySplitController::saveWidth()
{
    const int width = sidebarWidth();
    if (!m_initialWidthApplied || width == m_knownWidth)
        return;
    m_knownWidth = width;
    // A hidden window is laid out before it is shown and again when it is: neither may overwrite what
    // the user chose last time.
    if (window()->isVisible())
        m_preferences.setDouble(Preferences::Key::historySidebarWidth, width);
}
