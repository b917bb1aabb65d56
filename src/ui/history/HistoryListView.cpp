#include "ui/history/HistoryListView.h"

#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "ui/common/HistoryImagePreview.h"
#include "ui/common/Symbols.h"
#include "ui/history/HistoryListModel.h"
#include "ui/history/HistoryRowDelegate.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScrollBar>

namespace {

// Lays the scroll bar over the rows instead of narrowing them, and lets it fade when idle.
class OverlayScrollBarStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_ScrollBar_Transient)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

} // namespace

HistoryListView::HistoryListView(AppModel& model, QWidget* parent, std::unique_ptr<DelayTimer> refreshTimer,
                                 HistoryThumbnailCache* thumbnails)
    : QListView(parent), openURL([&model](const QUrl& url) { model.open(url); }), m_model(model),
      m_listModel(new HistoryListModel(model, this, thumbnails)),
      m_refreshTimer(refreshTimer ? std::move(refreshTimer) : std::make_unique<QtDelayTimer>())
{
    m_delegate = new HistoryRowDelegate(*m_listModel, *this);
    // Taking the model reports the empty selection of the new selection model, which is not the user's.
    m_applyingSelection = true;
    setModel(m_listModel);
    m_applyingSelection = false;
    setItemDelegate(m_delegate);

    setFrameShape(QFrame::NoFrame);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(false);
    setResizeMode(QListView::Adjust);
    setSpacing(0);
    auto* scrollBarStyle = new OverlayScrollBarStyle;
    scrollBarStyle->setParent(this);
    verticalScrollBar()->setStyle(scrollBarStyle);

    connect(&m_model, &AppModel::selectionChanged, this, &HistoryListView::applySelection);
    connect(m_listModel, &HistoryListModel::refreshed, this, [this] {
        applySelection();
        refreshHover();
    });
    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            &HistoryListView::retranslate);
    connect(m_listModel, &HistoryListModel::loadingImagesChanged, this, &HistoryListView::updateSpinner);
    m_spinnerTimer.setInterval(HistoryImagePreview::spinnerInterval);
    connect(&m_spinnerTimer, &QTimer::timeout, this, &HistoryListView::advanceSpinner);

    applySelection();
    retranslate();
    scheduleTimeRefresh();
}

void HistoryListView::retranslate()
{
    setAccessibleName(L10n::text(L10n::Key::allHistory));
}

HistoryListView::~HistoryListView() = default;

void HistoryListView::setClock(const std::function<Timestamp()>& clock)
{
    m_delegate->clock = clock;
    m_listModel->clock = clock;
    viewport()->update();
}

void HistoryListView::scheduleTimeRefresh()
{
    m_refreshTimer->start(timeRefreshInterval, [this] {
        viewport()->update();
        scheduleTimeRefresh();
    });
}

// Rows inserted, moved or dropped above the selected one shift it without a selection change, so
// every update brings it back into view.
void HistoryListView::applySelection()
{
    const QModelIndex index = m_listModel->indexOf(m_model.selection());
    m_applyingSelection = true;
    if (!index.isValid()) {
        selectionModel()->clearSelection();
    } else {
        if (!selectionModel()->isSelected(index) || selectionModel()->currentIndex() != index)
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        // Scrolling lays out every row: a hidden list would do it for nothing, and the view brings its
        // current row into view when it is shown.
        if (isVisible())
            scrollTo(index);
    }
    m_applyingSelection = false;
}

void HistoryListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListView::selectionChanged(selected, deselected);
    // Rows going away while the list updates are not the user deselecting them.
    if (m_applyingSelection || m_listModel->isRefreshing())
        return;
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    m_model.setSelection(rows.isEmpty() ? QUuid() : m_listModel->entry(rows.first().row()).id);
}

void HistoryListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                  const QList<int>& roles)
{
    QListView::dataChanged(topLeft, bottomRight, roles);
    // A thumbnail's shape, or a new title, may change the row's height.
    if (roles.isEmpty() || roles.contains(HistoryListModel::AspectRatioRole))
        scheduleDelayedItemsLayout();
}

QMenu* HistoryListView::contextMenu(const QModelIndex& index)
{
    auto* menu = new QMenu(this);
    if (!index.isValid())
        return menu;
    const ClipboardEntry entry = m_listModel->entry(index.row());
    const QColor colour = menu->palette().color(QPalette::WindowText);
    QAction* copyAgain = menu->addAction(Symbols::icon(QStringLiteral("StatusBarIcon"), colour),
                                         L10n::text(L10n::Key::copyAgain));
    connect(copyAgain, &QAction::triggered, this, [this, entry] { m_model.copy(entry); });
    menu->addSeparator();
    QAction* remove =
        menu->addAction(Symbols::icon(QStringLiteral("trash"), colour), L10n::text(L10n::Key::deleteEntry));
    connect(remove, &QAction::triggered, this, [this, id = entry.id] { m_model.deleteEntry(id); });
    return menu;
}

void HistoryListView::contextMenuEvent(QContextMenuEvent* event)
{
    QModelIndex index = indexAt(event->pos());
    QPoint position = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        index = currentIndex();
        position = viewport()->mapToGlobal(visualRect(index).center());
    }
    if (!index.isValid())
        return;
    QMenu* menu = contextMenu(index);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(position);
}

void HistoryListView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Delete)) {
        if (!m_model.selection().isNull())
            m_model.deleteEntry(m_model.selection());
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Up && event->modifiers() == Qt::NoModifier && currentIndex().row() <= 0) {
        event->accept();
        Q_EMIT upFromFirstRow();
        return;
    }
    QListView::keyPressEvent(event);
}

std::optional<QUrl> HistoryListView::linkAt(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    if (m_delegate->hitTest(visualRect(index), index, position) != HistoryRowPainter::Hit::linkTitle)
        return std::nullopt;
    return m_listModel->entry(index.row()).linkURL();
}

void HistoryListView::mousePressEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        m_pressedLink = linkAt(position);
        if (m_pressedLink) {
            event->accept();
            return;
        }
    }
    QListView::mousePressEvent(event);
}

void HistoryListView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_pressedLink) {
        const std::optional<QUrl> link = std::exchange(m_pressedLink, std::nullopt);
        if (linkAt(event->position().toPoint()) == link && openURL)
            openURL(*link);
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
}

void HistoryListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first click opened the link already; a second one would open it again.
    if (event->button() == Qt::LeftButton && linkAt(event->position().toPoint())) {
        event->accept();
        return;
    }
    // Anywhere else on a row: copied again, as the menu's Copy Again does.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid()) {
        event->accept();
        m_model.copy(m_listModel->entry(index.row()));
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void HistoryListView::mouseMoveEvent(QMouseEvent* event)
{
    updateHover(event->position().toPoint());
    if (m_pressedLink) {
        event->accept();
        return;
    }
    QListView::mouseMoveEvent(event);
}

bool HistoryListView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        updateHover(QPoint(-1, -1));
    return QListView::viewportEvent(event);
}

void HistoryListView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    refreshHover();
}

// The rows moved under a resting pointer.
void HistoryListView::refreshHover()
{
    if (viewport()->underMouse())
        updateHover(viewport()->mapFromGlobal(QCursor::pos()));
}

void HistoryListView::updateHover(const QPoint& position)
{
    QModelIndex index = viewport()->rect().contains(position) ? indexAt(position) : QModelIndex();
    const HistoryRowPainter::Hit hit = m_delegate->hitTest(visualRect(index), index, position);
    if (hit == HistoryRowPainter::Hit::none)
        index = QModelIndex();
    const bool overLink = hit == HistoryRowPainter::Hit::linkTitle;
    const QModelIndex previous = m_delegate->hoveredIndex();
    if (previous == index && m_delegate->isLinkHovered() == overLink)
        return;
    m_delegate->setHover(index, overLink);
    if (overLink)
        viewport()->setCursor(Qt::PointingHandCursor);
    else
        viewport()->unsetCursor();
    if (previous.isValid())
        viewport()->update(visualRect(previous));
    if (index.isValid())
        viewport()->update(visualRect(index));
}

void HistoryListView::showEvent(QShowEvent* event)
{
    QListView::showEvent(event);
    updateSpinner();
}

void HistoryListView::hideEvent(QHideEvent* event)
{
    QListView::hideEvent(event);
    updateSpinner();
}

void HistoryListView::updateSpinner()
{
    if (m_listModel->hasLoadingImages() && isVisible())
        m_spinnerTimer.start();
    else
        m_spinnerTimer.stop();
}

void HistoryListView::advanceSpinner()
{
    m_spinnerStep = (m_spinnerStep + 1) % HistoryImagePreview::spinnerSpokes;
    m_delegate->setSpinnerStep(m_spinnerStep);
    for (QModelIndex index = indexAt(QPoint(viewport()->width() / 2, 0)); index.isValid();
         index = index.siblingAtRow(index.row() + 1)) {
        const QRect rect = visualRect(index);
        if (rect.top() >= viewport()->height())
            break;
        if (m_listModel->entry(index.row()).kind == ClipboardKind::image)
            viewport()->update(rect);
    }
}
