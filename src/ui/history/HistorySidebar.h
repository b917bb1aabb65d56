#pragma once

#include "services/DelayTimer.h"
#include "ui/history/ClearHistoryDialog.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class ActivityIndicator;
class AppModel;
class ClipboardEmptyState;

class HistoryButton;
class HistoryFilterMenu;
class HistoryHeading;
class HistoryListView;
class HistorySearchField;
class QLabel;
class QStackedWidget;

// The left pane of the history window: heading and buttons, search, kind filter and count, the list
// or its state, and the paused notice.
class HistorySidebar : public QWidget {
    Q_OBJECT

public:
    enum class ListState { loading, unavailable, list, empty };
    Q_ENUM(ListState)

    static constexpr int loadingIndicatorDelay = 200;

    // loadingDelay and refreshTimer replace the real timers, for tests.
    HistorySidebar(AppModel& model, std::function<void()> openSettings, QWidget* parent = nullptr,
                   std::unique_ptr<DelayTimer> loadingDelay = nullptr,
                   std::unique_ptr<DelayTimer> refreshTimer = nullptr);
    ~HistorySidebar() override;

    ListState listState() const;
    bool showsLoadingIndicator() const { return m_showsLoadingIndicator; }
    // The clear confirmation while it is open.
    ClearHistoryDialog* clearConfirmation() const { return m_confirmation; }

    HistoryHeading* heading() const { return m_heading; }
    HistoryButton* settingsButton() const { return m_settingsButton; }
    HistoryButton* clearButton() const { return m_clearButton; }
    HistorySearchField* searchField() const { return m_searchField; }
    HistoryFilterMenu* filterMenu() const { return m_filterMenu; }
    HistoryListView* listView() const { return m_list; }
    QLabel* countLabel() const { return m_count; }
    ClipboardEmptyState* emptyState() const { return m_empty; }
    QLabel* pausedNotice() const { return m_paused; }

    void confirmClear();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void retranslate();
    void updateLoading();
    void updateListArea();
    qsizetype filteredCount() const;
    ListState listState(qsizetype filteredCount) const;
    void placeInitialFocus(ListState state);
    void focusList();

    AppModel& m_model;
    std::function<void()> m_openSettings;
    std::unique_ptr<DelayTimer> m_loadingDelay;
    bool m_showsLoadingIndicator = false;
    bool m_focusPlaced = false;

    HistoryHeading* m_heading = nullptr;
    HistoryButton* m_settingsButton = nullptr;
    HistoryButton* m_clearButton = nullptr;
    HistorySearchField* m_searchField = nullptr;
    HistoryFilterMenu* m_filterMenu = nullptr;
    QLabel* m_count = nullptr;
    QStackedWidget* m_area = nullptr;
    QWidget* m_loadingPage = nullptr;
    ActivityIndicator* m_spinner = nullptr;
    QLabel* m_loadingLabel = nullptr;
    ClipboardEmptyState* m_unavailable = nullptr;
    HistoryListView* m_list = nullptr;
    ClipboardEmptyState* m_empty = nullptr;
    QLabel* m_paused = nullptr;
    QPointer<ClearHistoryDialog> m_confirmation;
};
