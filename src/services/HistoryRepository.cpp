#include "services/HistoryRepository.h"

#include "app/Localization.h"
#include "services/ArchiveCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr QFileDevice::Permissions ownerOnlyDirectory =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions ownerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

HistoryRepository::Error fileError(const QString& what, const QString& path, const QString& reason)
{
    return {std::nullopt, QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(path), reason)};
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
            return fileError(QStringLiteral("Cannot create the folder"), path,
                             QStringLiteral("a file is in the way"));
        if (!QDir().mkdir(path, ownerOnlyDirectory) && !QFileInfo(path).isDir())
            return fileError(QStringLiteral("Cannot create the folder"), path,
                             QString::fromLocal8Bit(std::strerror(errno)));
    }
    return std::nullopt;
}

} // namespace

QString HistoryRepository::Error::localizedDescription() const
{
    if (!code)
        return message;
    switch (*code) {
    case RepositoryError::archiveTooLarge:
        return L10n::text(L10n::Key::archiveTooLarge);
    case RepositoryError::unsupportedVersion:
        return L10n::text(L10n::Key::unsupportedArchive);
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
            LoadResult result = read(directory);
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
    const quint64 generation = ++*m_generation;
    m_timer->start(saveDelay, [this, generation, entries = std::move(entries),
                               completion = std::move(completion)]() mutable {
        QMetaObject::invokeMethod(
            m_worker,
            [this, generation, current = m_generation, directory = m_directory, entries = std::move(entries),
             completion = std::move(completion)]() mutable {
                // Superseded while waiting in the queue: a later save or a flush writes instead.
                if (current->load() != generation)
                    return;
                std::optional<Error> error = write(directory, entries);
                QMetaObject::invokeMethod(
                    this,
                    [completion = std::move(completion), error = std::move(error)] {
                        if (completion)
                            completion(error);
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    });
}

std::optional<HistoryRepository::Error> HistoryRepository::flush(QList<ClipboardEntry> entries)
{
    cancelPendingSave();
    std::optional<Error> error;
    QMetaObject::invokeMethod(
        m_worker, [&] { error = write(m_directory, entries); }, Qt::BlockingQueuedConnection);
    return error;
}

void HistoryRepository::cancelPendingSave()
{
    m_timer->cancel();
    ++*m_generation;
}

HistoryRepository::LoadResult HistoryRepository::read(const QString& directory)
{
    const QString path = directory + u'/' + fileName;
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (info.isDir())
        return {{},
                fileError(QStringLiteral("Cannot read the history"), path, QStringLiteral("it is a folder"))};
    // Checked before reading, so that an oversized file never gets into memory.
    if (info.size() > maxArchiveBytes)
        return {{}, Error{RepositoryError::archiveTooLarge, QString()}};

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, fileError(QStringLiteral("Cannot open the history"), path, file.errorString())};
    const QByteArray bytes = file.read(maxArchiveBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {{}, fileError(QStringLiteral("Cannot read the history"), path, file.errorString())};
    if (bytes.size() > maxArchiveBytes)
        return {{}, Error{RepositoryError::archiveTooLarge, QString()}};

    std::variant<ArchiveCodec::Archive, ArchiveCodec::DecodingError> decoded = ArchiveCodec::decode(bytes);
    if (const auto* failure = std::get_if<ArchiveCodec::DecodingError>(&decoded))
        return {
            {},
            Error{std::nullopt, QStringLiteral("The history file is damaged: %1").arg(failure->description)}};
    ArchiveCodec::Archive& archive = std::get<ArchiveCodec::Archive>(decoded);
    if (archive.version != ArchiveCodec::currentVersion)
        return {{}, Error{RepositoryError::unsupportedVersion, QString()}};
    return {trim(std::move(archive.entries)), std::nullopt};
}

std::optional<HistoryRepository::Error> HistoryRepository::write(const QString& directory,
                                                                 const QList<ClipboardEntry>& entries)
{
    if (std::optional<Error> error = makeDirectory(directory))
        return error;
    if (!QFile::setPermissions(directory, ownerOnlyDirectory))
        return fileError(QStringLiteral("Cannot restrict the folder"), directory,
                         QStringLiteral("its permissions could not be set"));

    const QByteArray bytes = ArchiveCodec::encode(entries);
    const QString path = directory + u'/' + fileName;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fileError(QStringLiteral("Cannot write the history"), path, file.errorString());
    // The temporary file takes this mode, so the history is never readable by others, not even
    // for the moment between the rename and the chmod below.
    file.setPermissions(ownerOnlyFile);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fileError(QStringLiteral("Cannot write the history"), path, file.errorString());
    if (!QFile::setPermissions(path, ownerOnlyFile))
        return fileError(QStringLiteral("Cannot restrict the history"), path,
                         QStringLiteral("its permissions could not be set"));
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
