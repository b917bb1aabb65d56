#pragma once

#include "l10n/AppMessage.h"
#include "models/ClipboardEntry.h"
#include "models/QuickPasteStatus.h"
#include "services/ClipboardMonitor.h"
#include "services/HistoryRepository.h"

#include <QObject>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

class HistorySearch;
class Pasteboard;
class Preferences;
class Workspace;

Q_DECLARE_METATYPE(std::optional<ClipboardKind>)
Q_DECLARE_METATYPE(std::optional<AppMessage>)

// The application's state and the only code that connects capture and storage: every capture
// reaches the history through record(), and every change to the list is saved.
class AppModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<ClipboardEntry> entries READ entries NOTIFY entriesChanged)
    // A null id means no selection.
    Q_PROPERTY(QUuid selection READ selection WRITE setSelection NOTIFY selectionChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(std::optional<ClipboardKind> filter READ filter WRITE setFilter NOTIFY filterChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool needsRecovery READ needsRecovery NOTIFY needsRecoveryChanged)
    Q_PROPERTY(std::optional<AppMessage> errorMessage READ errorMessage WRITE setErrorMessage NOTIFY
                   errorMessageChanged)
    Q_PROPERTY(std::optional<AppMessage> activityMessage READ activityMessage WRITE setActivityMessage NOTIFY
                   activityMessageChanged)
    Q_PROPERTY(QuickPasteStatus quickPasteStatus READ quickPasteStatus WRITE setQuickPasteStatus NOTIFY
                   quickPasteStatusChanged)
    Q_PROPERTY(bool quickPasteEnabled READ quickPasteEnabled WRITE setQuickPasteEnabled NOTIFY
                   quickPasteEnabledChanged)
    Q_PROPERTY(
        bool recordingPaused READ recordingPaused WRITE setRecordingPaused NOTIFY recordingPausedChanged)

public:
    // historyDirectory empty: the default archive location.
    AppModel(Pasteboard& pasteboard, Workspace& workspace, Preferences& preferences,
             const QString& historyDirectory = QString(), std::unique_ptr<DelayTimer> saveTimer = nullptr,
             QObject* parent = nullptr);
    ~AppModel() override;

    const QList<ClipboardEntry>& entries() const { return m_entries; }
    QUuid selection() const { return m_selection; }
    QString query() const { return m_query; }
    std::optional<ClipboardKind> filter() const { return m_filter; }
    bool isLoading() const { return m_isLoading; }
    bool needsRecovery() const { return m_needsRecovery; }
    std::optional<AppMessage> errorMessage() const { return m_errorMessage; }
    std::optional<AppMessage> activityMessage() const { return m_activityMessage; }
    QuickPasteStatus quickPasteStatus() const { return m_quickPasteStatus; }
    bool quickPasteEnabled() const { return m_quickPasteEnabled; }
    bool recordingPaused() const { return m_recordingPaused; }

    ClipboardMonitor& clipboard() { return *m_clipboard; }
    HistoryRepository& repository() { return *m_repository; }
    // Installed by quick paste: closes an open popup before the list changes under it.
    std::function<void()> cancelQuickPaste;
    // Hands an address to the system's handler; QDesktopServices::openUrl unless replaced.
    std::function<bool(const QUrl&)> openURL;

    void setSelection(const QUuid& selection);
    void setQuery(const QString& query);
    void setFilter(std::optional<ClipboardKind> filter);
    void setErrorMessage(std::optional<AppMessage> message);
    void setActivityMessage(std::optional<AppMessage> message);
    void setQuickPasteStatus(QuickPasteStatus status);
    void setQuickPasteEnabled(bool enabled);

    void start();
    void setRecordingPaused(bool paused);
    // The visible list, computed once per change of the entries, query, filter or language. A search
    // through many megabytes runs on a worker; until it finishes this is the last finished list, kept
    // up to date with the entries' values and with what is already known about new ones.
    QList<ClipboardEntry> filteredEntries() const { return m_filteredEntries; }
    std::optional<ClipboardEntry> selectedEntry() const;
    // While a search runs, the selection is reconciled again when it finishes.
    void reconcileSelection();
    bool isSearching() const;
    // Searches through fewer bytes of text than this run at once; a test can send all to the worker.
    void setSynchronousSearchLimit(qint64 bytes);
    // Puts the entry on the clipboard (and, when asked, on the selection terminals paste with
    // Shift+Insert) and moves it to the front; false, with the error shown, when the write failed.
    bool copy(const ClipboardEntry& entry, bool alsoSelection = false);
    // Opens a link's address, or shows why it could not be opened.
    void open(const QUrl& url);
    void deleteEntry(const QUuid& id);
    void clearHistory();
    std::optional<HistoryRepository::Error> flush();

Q_SIGNALS:
    void entriesChanged();
    void selectionChanged();
    void queryChanged();
    void filterChanged();
    void isLoadingChanged();
    void needsRecoveryChanged();
    void errorMessageChanged();
    void activityMessageChanged();
    void quickPasteStatusChanged();
    void quickPasteEnabledChanged();
    void recordingPausedChanged();
    // Emitted before the change of entries, query or filter that caused it, and when a search finishes.
    void filteredEntriesChanged();

private:
    // False when recording is paused or the history awaits recovery: the entry was not recorded.
    bool record(const ClipboardEntry& entry);
    void save();
    void setEntries(QList<ClipboardEntry> entries);
    void setIsLoading(bool loading);
    void setNeedsRecovery(bool needsRecovery);
    void updateFilteredEntries(bool entriesChanged = false);

    Preferences& m_preferences;
    QList<ClipboardEntry> m_entries;
    QUuid m_selection;
    QString m_query;
    std::optional<ClipboardKind> m_filter;
    bool m_isLoading = true;
    bool m_needsRecovery = false;
    std::optional<AppMessage> m_errorMessage;
    std::optional<AppMessage> m_activityMessage;
    QuickPasteStatus m_quickPasteStatus = QuickPasteStatus::disabled;
    bool m_quickPasteEnabled = false;
    bool m_recordingPaused = false;
    std::unique_ptr<ClipboardMonitor> m_clipboard;
    std::unique_ptr<HistoryRepository> m_repository;
    QList<ClipboardEntry> m_filteredEntries;
    bool m_reconcileAfterSearch = false;
    std::unique_ptr<HistorySearch> m_search;
};
