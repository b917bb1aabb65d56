#include "app/AppModel.h"

#include "app/Localization.h"
#include "app/Preferences.h"
#include "models/LocalizedSearch.h"
#include "models/TextRules.h"

#include <QDesktopServices>
#include <QDir>
#include <QPointer>

namespace {

AppError appError(const HistoryRepository::Error& error)
{
    return AppError([error] { return error.localizedDescription(); });
}

AppError appError(const ClipboardMonitor::ClipboardError& error)
{
    return AppError([error] { return error.localizedDescription(); });
}

// ICU names the scripts with an underscore.
QString icuLocaleName(const QString& languageIdentifier)
{
    return QString(languageIdentifier).replace(u'-', u'_');
}

} // namespace

AppModel::AppModel(Pasteboard& pasteboard, Workspace& workspace, Preferences& preferences,
                   const QString& historyDirectory, std::unique_ptr<DelayTimer> saveTimer, QObject* parent)
    : QObject(parent), openURL(&QDesktopServices::openUrl), m_preferences(preferences),
      m_quickPasteEnabled(preferences.boolValue(Preferences::Key::quickPasteEnabled)),
      m_recordingPaused(preferences.boolValue(Preferences::Key::recordingPaused)),
      m_clipboard(std::make_unique<ClipboardMonitor>(pasteboard, workspace)),
      m_repository(std::make_unique<HistoryRepository>(historyDirectory, std::move(saveTimer)))
{
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
    Q_EMIT queryChanged();
}

void AppModel::setFilter(std::optional<ClipboardKind> filter)
{
    if (m_filter == filter)
        return;
    m_filter = filter;
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
    if (m_quickPasteStatus == status)
        return;
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
    if (m_entries == entries)
        return;
    m_entries = std::move(entries);
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
    m_clipboard->onCapture = [self](const ClipboardEntry& entry) {
        if (self)
            self->record(entry);
    };
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

void AppModel::record(const ClipboardEntry& entry)
{
    if (m_needsRecovery || m_recordingPaused)
        return;
    setEntries(HistoryRepository::recording(entry, m_entries));
    reconcileSelection();
    save();
}

QList<ClipboardEntry> AppModel::filteredEntries() const
{
    const QString term = TextRules::trimmedWhitespace(m_query).toString();
    const LocalizedSearch search(term, icuLocaleName(AppLocalization::shared().languageIdentifier()));
    QList<ClipboardEntry> visible;
    for (const ClipboardEntry& entry : m_entries) {
        if (m_filter && entry.kind != *m_filter)
            continue;
        if (!search.matchesEverything()) {
            // A text's title is a piece of its first line, so whatever the title holds the plain
            // text holds too: searching the plain text alone decides, at a fraction of the cost.
            const bool titleIsInText =
                (entry.kind == ClipboardKind::text || entry.kind == ClipboardKind::link) && entry.plainText &&
                !TextRules::firstLine(*entry.plainText, 1).isEmpty();
            const bool found = (!titleIsInText && search.isFoundIn(entry.displayTitle())) ||
                               search.isFoundIn(entry.displaySourceName()) ||
                               search.isFoundIn(entry.plainText.value_or(QString()));
            if (!found)
                continue;
        }
        visible.append(entry);
    }
    return visible;
}

std::optional<ClipboardEntry> AppModel::selectedEntry() const
{
    if (m_selection.isNull())
        return std::nullopt;
    for (const ClipboardEntry& entry : filteredEntries()) {
        if (entry.id == m_selection)
            return entry;
    }
    return std::nullopt;
}

void AppModel::reconcileSelection()
{
    const QList<ClipboardEntry> visible = filteredEntries();
    if (!m_selection.isNull()) {
        for (const ClipboardEntry& entry : visible) {
            if (entry.id == m_selection)
                return;
        }
    }
    setSelection(visible.isEmpty() ? QUuid() : visible.first().id);
}

bool AppModel::copy(const ClipboardEntry& entry)
{
    if (const std::optional<ClipboardMonitor::ClipboardError> error = m_clipboard->write(entry)) {
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
