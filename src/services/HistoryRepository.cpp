#include "services/HistoryRepository.h"

#include "l10n/Localization.h"
#include "services/ArchiveCodec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <variant>

Q_LOGGING_CATEGORY(lcHistory, "app.clipwell.mac.History")

namespace {

constexpr QFileDevice::Permissions ownerOnlyDirectory =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions ownerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// A failure of the file system. errno is taken at the failing call, because Qt's own message for a
// short write or a failed commit says only "Unknown error"; the causes a user can act on get a
// sentence of their own.
HistoryRepository::Error fileError(const QString& what, const QString& path, int code,
                                   const QString& fallback = QString())
{
    using Code = HistoryRepository::RepositoryError;
    std::optional<Code> known;
    switch (code) {
    case ENOSPC:
        known = Code::diskFull;
        break;
    case EDQUOT:
        known = Code::quotaExceeded;
        break;
    case EACCES:
    case EPERM:
        known = Code::permissionDenied;
        break;
    case EROFS:
        known = Code::readOnly;
        break;
    default:
        break;
    }
    const QString reason = code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : fallback;
    return {known, QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(path), reason), path};
}

// Creates every missing folder of the path owner-only, not just the last one.
std::optional<HistoryRepository::Error> makeDirectory(const QString& directory)
{
    const QString absolute = QDir::cleanPath(QDir(directory).absolutePath());
    QString path;
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        path += u'/' + part;
        const QFileInfo info(path);
        if (info.isDir())
            continue;
        if (info.exists())
            return fileError(QStringLiteral("Cannot create the folder"), path, 0,
                             QStringLiteral("a file is in the way"));
        errno = 0;
        const bool made = QDir().mkdir(path, ownerOnlyDirectory);
        const int cause = errno; // before the check below overwrites it
        if (!made && !QFileInfo(path).isDir())
            return fileError(QStringLiteral("Cannot create the folder"), path, cause);
    }
    return std::nullopt;
}

// What QSaveFile leaves behind when the process dies between writing and renaming: the archive's
// name, a dot and six letters or digits.
void removeLeftoverTemporaries(const QString& directory)
{
    static const QRegularExpression temporary(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(HistoryRepository::fileName) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    const QDir folder(directory);
    for (const QFileInfo& info : folder.entryInfoList({HistoryRepository::fileName + QStringLiteral(".*")},
                                                      QDir::Files | QDir::Hidden | QDir::System)) {
        if (!temporary.match(info.fileName()).hasMatch() || info.isSymLink() || !info.isFile() ||
            info.ownerId() != ::getuid())
            continue;
        if (QFile::remove(info.filePath()))
            qCInfo(lcHistory) << "Removed the unfinished history write" << info.filePath();
    }
}

// Moves an archive that could not be read out of the way under a dated name, so that replacing it
// destroys nothing; returns the new path, or none when there was nothing to keep.
std::variant<QString, HistoryRepository::Error> setAsideUnreadable(const QString& directory)
{
    const QString path = directory + u'/' + HistoryRepository::fileName;
    const QFileInfo archive(path);
    if (!archive.exists() && !archive.isSymLink())
        return QString();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString kept;
    for (int attempt = 1;; ++attempt) {
        kept = directory + QStringLiteral("/history-unreadable-") + stamp +
               (attempt > 1 ? QStringLiteral("-%1").arg(attempt) : QString()) + QStringLiteral(".plist");
        if (!QFileInfo(kept).exists() && !QFileInfo(kept).isSymLink())
            break;
    }
    errno = 0;
    if (!QDir().rename(path, kept))
        return fileError(QStringLiteral("Cannot keep the unreadable history"), path, errno);
    const QFileInfo moved(kept);
    if (moved.isFile() && !moved.isSymLink())
        QFile::setPermissions(kept, ownerOnlyFile);
    qCInfo(lcHistory) << "Kept the unreadable history as" << kept;
    return kept;
}

} // namespace

QString HistoryRepository::Error::localizedDescription() const
{
    if (!code)
        return message;
    const QString where = QDir::toNativeSeparators(path);
    switch (*code) {
    case RepositoryError::archiveTooLarge:
        return L10n::text(L10n::Key::archiveTooLarge);
    case RepositoryError::unsupportedVersion:
        return L10n::text(L10n::Key::unsupportedArchive);
    case RepositoryError::archiveDamaged:
        return L10n::text(L10n::Key::historyDamaged);
    case RepositoryError::notAFile:
        return L10n::text(L10n::Key::historyNotAFile);
    case RepositoryError::diskFull:
        return L10n::format(L10n::Key::diskFull, where);
    case RepositoryError::quotaExceeded:
        return L10n::format(L10n::Key::diskQuotaExceeded, where);
    case RepositoryError::permissionDenied:
        return L10n::format(L10n::Key::permissionDenied, where);
    case RepositoryError::readOnly:
        return L10n::format(L10n::Key::readOnlyDisk, where);
    }
    return message;
}

HistoryRepository::HistoryRepository(QString directory, std::unique_ptr<DelayTimer> timer, QObject* parent)
    : QObject(parent), m_directory(directory.isEmpty() ? defaultDirectory() : std::move(directory)),
      m_timer(timer ? std::move(timer) : std::make_unique<QtDelayTimer>())
{
    m_thread.setObjectName(QStringLiteral("app.clipwell.history"));
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    m_thread.start(QThread::LowPriority);
}

HistoryRepository::~HistoryRepository()
{
    m_timer->cancel();
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

QString HistoryRepository::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Clipwell");
}

QString HistoryRepository::filePath() const
{
    return m_directory + u'/' + fileName;
}

void HistoryRepository::load(LoadCompletion completion)
{
    QMetaObject::invokeMethod(
        m_worker,
        [this, directory = m_directory, completion = std::move(completion)]() mutable {
            removeLeftoverTemporaries(directory);
            LoadResult result = read(directory);
            m_unreadableOnDisk = result.error.has_value();
            QMetaObject::invokeMethod(
                this,
                [completion = std::move(completion), result = std::move(result)]() mutable {
                    if (completion)
                        completion(std::move(result));
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void HistoryRepository::save(QList<ClipboardEntry> entries, SaveCompletion completion)
{
    // The debounce restarts with every save, but never past the deadline of the oldest change.
    const auto now = m_timer->now();
    if (!m_unsavedSince)
        m_unsavedSince = now;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*m_unsavedSince + maxSaveWait - now);
    const auto delay = std::clamp(left, std::chrono::milliseconds(0), saveDelay);
    scheduleWrite(delay, std::move(entries), std::move(completion));
}

void HistoryRepository::scheduleWrite(std::chrono::milliseconds delay, QList<ClipboardEntry> entries,
                                      SaveCompletion completion)
{
    const quint64 flushes = m_flushes->load();
    const quint64 write = ++m_writes;
    m_timer->start(delay, [this, flushes, write, entries = std::move(entries),
                           completion = std::move(completion)]() mutable {
        m_unsavedSince.reset();
        QMetaObject::invokeMethod(
            m_worker,
            [this, flushes, write, entries = std::move(entries),
             completion = std::move(completion)]() mutable {
                // A flush has written a newer list, or is waiting to.
                if (m_flushes->load() != flushes)
                    return;
                std::optional<Error> error = replaceArchive(entries);
                QMetaObject::invokeMethod(
                    this,
                    [this, flushes, write, entries = std::move(entries), completion = std::move(completion),
                     error = std::move(error)]() mutable {
                        if (m_flushes->load() != flushes)
                            return;
                        if (!error)
                            m_retryDelay = std::chrono::milliseconds(0);
                        else if (write == m_writes)
                            retryLater(std::move(entries));
                        if (completion)
                            completion(error);
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    });
}

void HistoryRepository::retryLater(QList<ClipboardEntry> entries)
{
    // The disk may have room again later; without a retry these copies would wait for the next
    // change, or be lost with the process.
    m_retryDelay = m_retryDelay.count() == 0 ? firstRetryDelay : std::min(m_retryDelay * 2, maxRetryDelay);
    scheduleWrite(m_retryDelay, std::move(entries), nullptr);
}

std::optional<HistoryRepository::Error> HistoryRepository::flush(QList<ClipboardEntry> entries)
{
    cancelPendingSave();
    std::optional<Error> error;
    QMetaObject::invokeMethod(
        m_worker, [&] { error = replaceArchive(entries); }, Qt::BlockingQueuedConnection);
    if (error)
        // The user may go back to Clipwell; the list is then written once the disk lets it.
        retryLater(entries);
    else
        m_retryDelay = std::chrono::milliseconds(0);
    return error;
}

void HistoryRepository::cancelPendingSave()
{
    m_timer->cancel();
    m_unsavedSince.reset();
    ++*m_flushes;
}

std::optional<HistoryRepository::Error>
HistoryRepository::replaceArchive(const QList<ClipboardEntry>& entries)
{
    if (m_unreadableOnDisk) {
        if (std::optional<Error> error = makeDirectory(m_directory))
            return error;
        std::variant<QString, Error> kept = setAsideUnreadable(m_directory);
        if (auto* error = std::get_if<Error>(&kept)) {
            qCWarning(lcHistory).noquote() << error->message;
            return std::move(*error);
        }
        m_unreadableOnDisk = false;
        if (const QString& path = std::get<QString>(kept); !path.isEmpty()) {
            QMetaObject::invokeMethod(
                this,
                [this, path] {
                    if (onUnreadableKept)
                        onUnreadableKept(path);
                },
                Qt::QueuedConnection);
        }
    }
    return write(m_directory, entries);
}

HistoryRepository::LoadResult HistoryRepository::read(const QString& directory)
{
    const QString path = directory + u'/' + fileName;
    const QFileInfo info(path);
    const auto failed = [](Error error) {
        qCWarning(lcHistory).noquote() << error.message;
        return LoadResult{{}, std::move(error)};
    };
    if (!info.exists())
        return {};
    // A folder, a pipe or a device: opening a pipe would even wait for a writer.
    if (!info.isFile())
        return failed({RepositoryError::notAFile,
                       QStringLiteral("Cannot read the history %1: it is not a file").arg(path), path});
    // Checked before reading, so that an oversized file never gets into memory.
    if (info.size() > maxArchiveBytes)
        return failed({RepositoryError::archiveTooLarge,
                       QStringLiteral("The history %1 has %2 bytes").arg(path).arg(info.size()), path});

    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return failed(fileError(QStringLiteral("Cannot open the history"), path, errno, file.errorString()));
    errno = 0;
    const QByteArray bytes = file.read(maxArchiveBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return failed(fileError(QStringLiteral("Cannot read the history"), path, errno, file.errorString()));
    if (bytes.size() > maxArchiveBytes)
        return failed({RepositoryError::archiveTooLarge,
                       QStringLiteral("The history %1 grew past %2 bytes").arg(path).arg(maxArchiveBytes),
                       path});

    std::variant<ArchiveCodec::Archive, ArchiveCodec::DecodingError> decoded = ArchiveCodec::decode(bytes);
    if (const auto* failure = std::get_if<ArchiveCodec::DecodingError>(&decoded))
        return failed({RepositoryError::archiveDamaged,
                       QStringLiteral("The history %1 is damaged: %2").arg(path, failure->description),
                       path});
    ArchiveCodec::Archive& archive = std::get<ArchiveCodec::Archive>(decoded);
    if (archive.version != ArchiveCodec::currentVersion)
        return failed({RepositoryError::unsupportedVersion,
                       QStringLiteral("The history %1 has version %2").arg(path).arg(archive.version), path});
    return {trim(std::move(archive.entries)), std::nullopt};
}

std::optional<HistoryRepository::Error> HistoryRepository::write(const QString& directory,
                                                                 const QList<ClipboardEntry>& entries)
{
    const QString path = directory + u'/' + fileName;
    const auto failed = [](Error error) {
        qCWarning(lcHistory).noquote() << error.message;
        return error;
    };
    if (std::optional<Error> error = makeDirectory(directory))
        return failed(std::move(*error));
    errno = 0;
    if (!QFile::setPermissions(directory, ownerOnlyDirectory))
        return failed(fileError(QStringLiteral("Cannot restrict the folder"), directory, errno));

    const QByteArray bytes = ArchiveCodec::encode(entries);
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return failed(fileError(QStringLiteral("Cannot write the history"), path, errno, file.errorString()));
    // The temporary file takes this mode, so the history is never readable by others, not even
    // for the moment between the rename and the chmod below.
    file.setPermissions(ownerOnlyFile);
    // A short write sets no error; only writing the rest reports why the disk refused.
    for (qint64 written = 0; written < bytes.size();) {
        errno = 0;
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0)
            return failed(
                fileError(QStringLiteral("Cannot write the history"), path, errno, file.errorString()));
        written += count;
    }
    errno = 0;
    if (!file.commit())
        return failed(fileError(QStringLiteral("Cannot write the history"), path, errno, file.errorString()));
    errno = 0;
    if (!QFile::setPermissions(path, ownerOnlyFile))
        return failed(fileError(QStringLiteral("Cannot restrict the history"), path, errno));
    return std::nullopt;
}

QList<ClipboardEntry> HistoryRepository::trim(QList<ClipboardEntry> entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const ClipboardEntry& a, const ClipboardEntry& b) {
        return a.lastCopiedAt > b.lastCopiedAt;
    });
    QList<ClipboardEntry> retained;
    QSet<QUuid> ids;
    QSet<QString> keys;
    qint64 total = 0;
    for (ClipboardEntry& entry : entries) {
        const qint64 bytes = entry.byteCount();
        if (bytes > maxEntryBytes || entry.items.isEmpty() || retained.size() >= maxEntries ||
            total + bytes > maxTotalBytes || ids.contains(entry.id) || keys.contains(entry.deduplicationKey))
            continue;
        ids.insert(entry.id);
        keys.insert(entry.deduplicationKey);
        total += bytes;
        retained.append(std::move(entry));
    }
    return retained;
}

QList<ClipboardEntry> HistoryRepository::recording(const ClipboardEntry& entry, QList<ClipboardEntry> entries)
{
    ClipboardEntry inserted = entry;
    const auto match = std::find_if(entries.begin(), entries.end(), [&](const ClipboardEntry& existing) {
        return existing.deduplicationKey == entry.deduplicationKey;
    });
    if (match != entries.end()) {
        inserted = std::move(*match);
        inserted.lastCopiedAt = entry.lastCopiedAt;
        entries.erase(match);
    }
    const auto position = std::find_if(entries.begin(), entries.end(), [&](const ClipboardEntry& existing) {
        return existing.lastCopiedAt <= inserted.lastCopiedAt;
    });
    entries.insert(position, std::move(inserted));

    QList<ClipboardEntry> retained;
    qint64 total = 0;
    for (ClipboardEntry& candidate : entries) {
        const qint64 bytes = candidate.byteCount();
        if (candidate.items.isEmpty() || bytes > maxEntryBytes || retained.size() >= maxEntries ||
            total + bytes > maxTotalBytes)
            continue;
        total += bytes;
        retained.append(std::move(candidate));
    }
    return retained;
}
