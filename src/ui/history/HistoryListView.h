#pragma once

#include "l10n/Timestamp.h"
#include "services/DelayTimer.h"

#include <QListView>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>

class AppModel;
class HistoryListModel;
class HistoryRowDelegate;
class HistoryThumbnailCache;
class QMenu;

// The history list of the sidebar: one card per visible entry, the selection bound both ways to
// AppModel::selection, a context menu and the Delete key per row, and link titles that open their
// address. Relative times are repainted once a minute without touching the model. The selected row is
// kept in view whenever the selection or the rows change.
class HistoryListView : public QListView {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds timeRefreshInterval{60000};

    // refreshTimer paces the relative times (a QtDelayTimer by default); thumbnails default to the
    // shared cache.
    explicit HistoryListView(AppModel& model, QWidget* parent = nullptr,
                             std::unique_ptr<DelayTimer> refreshTimer = nullptr,
                             HistoryThumbnailCache* thumbnails = nullptr);
    ~HistoryListView() override;

    HistoryListModel& listModel() const { return *m_listModel; }
    HistoryRowDelegate& rowDelegate() const { return *m_delegate; }
    // The clock the rows count relative times to.
    void setClock(const std::function<Timestamp()>& clock);
    // The row's menu: copy again, then delete. The view owns it until the caller deletes it.
    QMenu* contextMenu(const QModelIndex& index);

    // Opens a link title's address through the model, which reports a failure, unless replaced.
    std::function<void(const QUrl&)> openURL;

Q_SIGNALS:
    // Up was pressed on the first row (or in an empty list): focus may go back to what lies above.
    void upFromFirstRow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void applySelection();
    void retranslate();
    void updateHover(const QPoint& position);
    void refreshHover();
    std::optional<QUrl> linkAt(const QPoint& position) const;
    void scheduleTimeRefresh();
    void updateSpinner();
    void advanceSpinner();

    AppModel& m_model;
    HistoryListModel* m_listModel;
    HistoryRowDelegate* m_delegate;
    std::unique_ptr<DelayTimer> m_refreshTimer;
    QTimer m_spinnerTimer;
    int m_spinnerStep = 0;
    bool m_applyingSelection = false;
    // The link title the left button went down on; it opens if the button comes up on it too.
    std::optional<QUrl> m_pressedLink;
};
