#include "app/AppModel.h"

#include "app/HistorySearch.h"
#include "app/Preferences.h"
#include "l10n/Localization.h"
#include "models/TextRules.h"

#include <QDesktopServices>
#include <QDir>
#include <QPointer>
#include <QSet>
#include <algorithm>

namespace {

AppError appError(const HistoryRepository::Error& error)
{
    return AppError([error] { return error.localizedDescription(); });
}

AppError appError(const ClipboardMonitor::ClipboardError& error)
{
    return AppError([error] { return error.localizedDescription(); });
}

bool sameIds(const QList<ClipboardEntry>& a, const QList<ClipboardEntry>& b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(),
                      [](const ClipboardEntry& x, const ClipboardEntry& y) { return x.id == y.id; });
}

// Entries are values that share their large texts and items across copies of the list, so the same
// memory settles the comparison of 64 MiB without reading it; anything else is compared in full.
template <typename T> bool sharedOrEqual(const T& a, const T& b)
{
    return (a.size() == b.size() && a.constData() == b.constData()) || a == b;
}

bool sameEntry(const ClipboardEntry& a, const ClipboardEntry& b)
{
    return a.id == b.id && a.capturedAt == b.capturedAt && a.lastCopiedAt == b.lastCopiedAt &&
           a.kind == b.kind && a.fingerprint == b.fingerprint && a.sourceName == b.sourceName &&
           a.title == b.title && a.sourceBundleIdentifier == b.sourceBundleIdentifier &&
           a.deduplicationKey == b.deduplicationKey && a.plainText.has_value() == b.plainText.has_value() &&
           (!a.plainText || sharedOrEqual(*a.plainText, *b.plainText)) && sharedOrEqual(a.items, b.items);
}

} // namespace

AppModel::AppModel(Pasteboard& pasteboard, Workspace& workspace, Preferences& preferences,
                   const QString& historyDirectory, std::unique_ptr<DelayTimer> saveTimer, QObject* parent)
    : QObject(parent), openURL(&QDesktopServices::openUrl), m_preferences(preferences),
      m_quickPasteEnabled(preferences.boolValue(Preferences::Key::quickPasteEnabled)),
      m_recordingPaused(preferences.boolValue(Preferences::Key::recordingPaused)),
      m_clipboard(std::make_unique<ClipboardMonitor>(pasteboard, workspace)),
      m_repository(std::make_unique<HistoryRepository>(historyDirectory, std::move(saveTimer))),
      m_search(std::make_unique<HistorySearch>())
{
    connect(m_search.get(), &HistorySearch::finished, this, [this] {
        updateFilteredEntries();
        if (m_reconcileAfterSearch && !m_search->isSearching())
            reconcileSelection();
    });
    // The search follows the language's rules, and a nameless source is searched by its name in it.
    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            [this] { updateFilteredEntries(); });
}

AppModel::~AppModel() = default;

void AppModel::setSelection(const QUuid& selection)
{
    if (m_selection == selection)
        return;
    m_selection = selection;
    Q_EMIT selectionChanged();
}

void AppModel::setQuery(const QString& query)
{
    if (m_query == query)
        return;
    m_query = query;
    updateFilteredEntries();
    Q_EMIT queryChanged();
}

void AppModel::setFilter(std::optional<ClipboardKind> filter)
{
    if (m_filter == filter)
        return;
    m_filter = filter;
    updateFilteredEntries();
    Q_EMIT filterChanged();
}

void AppModel::setErrorMessage(std::optional<AppMessage> message)
{
    m_errorMessage = std::move(message);
    Q_EMIT errorMessageChanged();
}

void AppModel::setActivityMessage(std::optional<AppMessage> message)
{
    m_activityMessage = std::move(message);
    Q_EMIT activityMessageChanged();
}

void AppModel::setQuickPasteStatus(QuickPasteStatus status)
{
    // Every report: what the desktop asks of the user (its setup) may change while the status stays,
    // as when the user gives the chord another shortcut in the desktop's settings.
    m_quickPasteStatus = status;
    Q_EMIT quickPasteStatusChanged();
}

void AppModel::setQuickPasteEnabled(bool enabled)
{
    if (m_quickPasteEnabled == enabled)
        return;
    m_quickPasteEnabled = enabled;
    Q_EMIT quickPasteEnabledChanged();
}

void AppModel::setEntries(QList<ClipboardEntry> entries)
{
    if (std::equal(m_entries.cbegin(), m_entries.cend(), entries.cbegin(), entries.cend(), sameEntry))
        return;
    m_entries = std::move(entries);
    m_search->setHistory(m_entries);
    updateFilteredEntries(true);
    Q_EMIT entriesChanged();
}

void AppModel::setIsLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}

void AppModel::setNeedsRecovery(bool needsRecovery)
{
    if (m_needsRecovery == needsRecovery)
        return;
    m_needsRecovery = needsRecovery;
    Q_EMIT needsRecoveryChanged();
}

void AppModel::start()
{
    const QPointer<AppModel> self(this);
    m_clipboard->onCapture = [self](const ClipboardEntry& entry) { return self && self->record(entry); };
    m_clipboard->onNotice = [self](L10n::Key key) {
        if (self)
            self->setActivityMessage(AppMessage{key, std::nullopt});
    };
    // Clearing an unreadable history keeps that file under a new name; the user learns where.
    m_repository->onUnreadableKept = [self](const QString& path) {
        if (self)
            self->setActivityMessage(AppMessage{L10n::Key::unreadableHistoryKept,
                                                AppError::fixed(QDir::toNativeSeparators(path))});
    };
    m_repository->load([self](HistoryRepository::LoadResult result) {
        if (!self)
            return;
        if (result.error) {
            self->setNeedsRecovery(true);
            self->setErrorMessage(AppMessage{L10n::Key::historyReadFailed, appError(*result.error)});
        } else {
            const QUuid first = result.entries.isEmpty() ? QUuid() : result.entries.first().id;
            self->setEntries(std::move(result.entries));
            self->setSelection(first);
        }
        self->setIsLoading(false);
        if (!self->m_needsRecovery && !self->m_recordingPaused)
            self->m_clipboard->start();
    });
}

bool AppModel::record(const ClipboardEntry& entry)
{
    if (m_needsRecovery || m_recordingPaused)
        return false;
    setEntries(HistoryRepository::recording(entry, m_entries));
    reconcileSelection();
    save();
    return true;
}

void AppModel::updateFilteredEntries(bool entriesChanged)
{
    const QString term = TextRules::trimmedWhitespace(m_query).toString();
    const auto passesFilter = [this](const ClipboardEntry& entry) {
        return !m_filter || entry.kind == *m_filter;
    };
    QList<ClipboardEntry> visible;
    if (term.isEmpty()) {
        m_search->cancel();
        std::copy_if(m_entries.cbegin(), m_entries.cend(), std::back_inserter(visible), passesFilter);
    } else {
        const QList<std::optional<bool>> found =
            m_search->answers(m_entries, m_filter, term, AppLocalization::shared().languageIdentifier());
        if (m_search->isSearching()) {
            // Until the search finishes, the last finished list stays, with the entries' current values.
            QSet<QUuid> shown;
            for (const ClipboardEntry& entry : std::as_const(m_filteredEntries))
                shown.insert(entry.id);
            std::copy_if(
                m_entries.cbegin(), m_entries.cend(), std::back_inserter(visible),
                [&](const ClipboardEntry& entry) { return passesFilter(entry) && shown.contains(entry.id); });
        } else {
            for (qsizetype row = 0; row < m_entries.size(); ++row) {
                if (*found[row])
                    visible.append(m_entries[row]);
            }
        }
    }
    const bool changed = entriesChanged || !sameIds(visible, m_filteredEntries);
    m_filteredEntries = std::move(visible);
    if (changed)
        Q_EMIT filteredEntriesChanged();
}

bool AppModel::isSearching() const
{
    return m_search->isSearching();
}

void AppModel::setSynchronousSearchLimit(qint64 bytes)
{
    m_search->synchronousLimit = bytes;
}

std::optional<ClipboardEntry> AppModel::selectedEntry() const
{
    if (m_selection.isNull())
        return std::nullopt;
    for (const ClipboardEntry& entry : m_filteredEntries) {
        if (entry.id == m_selection)
            return entry;
    }
    return std::nullopt;
}

void AppModel::reconcileSelection()
{
    m_reconcileAfterSearch = m_search->isSearching();
    if (!m_selection.isNull()) {
        for (const ClipboardEntry& entry : std::as_const(m_filteredEntries)) {
            if (entry.id == m_selection)
                return;
        }
    }
    setSelection(m_filteredEntries.isEmpty() ? QUuid() : m_filteredEntries.first().id);
}

bool AppModel::copy(const ClipboardEntry& entry, bool alsoSelection)
{
    if (const std::optional<ClipboardMonitor::ClipboardError> error =
            m_clipboard->write(entry, alsoSelection)) {
        setErrorMessage(AppMessage{std::nullopt, appError(*error)});
        return false;
    }
    ClipboardEntry again = entry;
    again.lastCopiedAt = Timestamp::now();
    record(again);
    setActivityMessage(std::nullopt);
    return true;
}

void AppModel::open(const QUrl& url)
{
    if (!openURL || !openURL(url))
        setErrorMessage(AppMessage{L10n::Key::linkOpenFailed, std::nullopt});
}

void AppModel::deleteEntry(const QUuid& id)
{
    if (cancelQuickPaste)
        cancelQuickPaste();
    // The newest entry is the copy the clipboard may still hold; once deleted, it must not come back.
    if (!m_entries.isEmpty() && m_entries.first().id == id)
        m_clipboard->forgetRecorded();
    QList<ClipboardEntry> remaining = m_entries;
    remaining.removeIf([&id](const ClipboardEntry& entry) { return entry.id == id; });
    setEntries(std::move(remaining));
    reconcileSelection();
    save();
}

void AppModel::clearHistory()
{
    if (cancelQuickPaste)
        cancelQuickPaste();
    setEntries({});
    m_clipboard->forgetRecorded();
    setSelection(QUuid());
    setNeedsRecovery(false);
    setErrorMessage(std::nullopt);
    m_clipboard->markCurrentContentsSeen();
    if (!m_recordingPaused)
        m_clipboard->start();
    save();
}

void AppModel::setRecordingPaused(bool paused)
{
    if (m_recordingPaused != paused) {
        m_recordingPaused = paused;
        Q_EMIT recordingPausedChanged();
    }
    m_preferences.setBool(Preferences::Key::recordingPaused, paused);
    if (paused) {
        m_clipboard->stop();
    } else if (!m_needsRecovery && !m_isLoading) {
        m_clipboard->markCurrentContentsSeen();
        m_clipboard->start();
    }
}

void AppModel::save()
{
    if (m_isLoading || m_needsRecovery)
        return;
    const QPointer<AppModel> self(this);
    m_repository->save(m_entries, [self](std::optional<HistoryRepository::Error> error) {
        if (self && error)
            self->setErrorMessage(AppMessage{L10n::Key::historySaveFailed, appError(*error)});
    });
}

std::optional<HistoryRepository::Error> AppModel::flush()
{
    if (m_isLoading || m_needsRecovery)
        return std::nullopt;
    return m_repository->flush(m_entries);
}
