#pragma once

#include "models/ClipboardEntry.h"
#include "services/DelayTimer.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// Keeps the history archive in step with the model's list. Every file operation runs on one worker
// thread, in order; completions come back on the thread that owns the repository.
class HistoryRepository final : public QObject {
    Q_OBJECT

public:
    static constexpr int maxEntries = 200;
    static constexpr qint64 maxEntryBytes = 12'582'912;
    static constexpr qint64 maxTotalBytes = 67'108'864;
    // The largest file read. A full history can be well over 96 MiB on disk: the archive keeps each
    // entry's plain text and title beside its data, as UTF-16 when not ASCII, up to five times the
    // 64 MiB of data. A smaller limit would refuse, at the next launch, a history saved by this
    // very program; this one still turns away files no history of ours can produce.
    static constexpr qint64 maxArchiveBytes = 5 * maxTotalBytes + 16 * 1024 * 1024;
    static constexpr std::chrono::milliseconds saveDelay{400};
    // However long copies keep coming less than saveDelay apart, a change waits no longer than this.
    static constexpr std::chrono::milliseconds maxSaveWait{2000};
    // A failed save is tried again after firstRetryDelay, then after twice as long each time, up to
    // maxRetryDelay, until a write succeeds or a newer save takes over.
    static constexpr std::chrono::milliseconds firstRetryDelay{2000};
    static constexpr std::chrono::milliseconds maxRetryDelay{60000};
    static inline const QString fileName = QStringLiteral("history.plist");

    enum class RepositoryError {
        archiveTooLarge,
        unsupportedVersion,
        archiveDamaged,
        notAFile,
        diskFull,
        quotaExceeded,
        permissionDenied,
        readOnly,
    };

    // A failed load or save: one of the repository's own errors, or the file system's message passed
    // through. message always holds the technical detail, for the log.
    struct Error {
        std::optional<RepositoryError> code;
        QString message;
        // The file or folder a file-system error is about.
        QString path;

        QString localizedDescription() const;
        friend bool operator==(const Error&, const Error&) = default;
    };

    struct LoadResult {
        QList<ClipboardEntry> entries;
        std::optional<Error> error;
    };

    using LoadCompletion = std::function<void(LoadResult)>;
    using SaveCompletion = std::function<void(std::optional<Error>)>;

    // An empty directory means the default: Clipwell in the user's data folder.
    explicit HistoryRepository(QString directory = QString(), std::unique_ptr<DelayTimer> timer = nullptr,
                               QObject* parent = nullptr);
    ~HistoryRepository() override;

    // Called on the owner's thread when a write has set an unreadable archive aside before replacing
    // it, with the path the archive now has.
    std::function<void(const QString& keptPath)> onUnreadableKept;

    QString directory() const { return m_directory; }
    QString filePath() const;
    static QString defaultDirectory();

    void load(LoadCompletion completion);
    // The completion reports the first write of this list only; the retries of a failed one are
    // silent, so the user is told once.
    void save(QList<ClipboardEntry> entries, SaveCompletion completion);
    // Cancels a scheduled save and writes at once; waits for a write already under way.
    std::optional<Error> flush(QList<ClipboardEntry> entries);

    static QList<ClipboardEntry> trim(QList<ClipboardEntry> entries);
    static QList<ClipboardEntry> recording(const ClipboardEntry& entry, QList<ClipboardEntry> entries);

    // The file operations themselves, synchronous; exposed for tools and tests.
    static LoadResult read(const QString& directory);
    static std::optional<Error> write(const QString& directory, const QList<ClipboardEntry>& entries);

private:
    void cancelPendingSave();
    void scheduleWrite(std::chrono::milliseconds delay, QList<ClipboardEntry> entries,
                       SaveCompletion completion);
    void retryLater(QList<ClipboardEntry> entries);
    // On the worker: the write of a save or flush, which first sets aside an archive the load could
    // not read.
    std::optional<Error> replaceArchive(const QList<ClipboardEntry>& entries);

    QString m_directory;
    std::unique_ptr<DelayTimer> m_timer;
    // When the oldest change not yet handed to the worker was made.
    std::optional<std::chrono::steady_clock::time_point> m_unsavedSince;
    // Bumped by every scheduled write: only the newest list is worth a retry.
    quint64 m_writes = 0;
    // The wait before the next retry; zero while the last write succeeded.
    std::chrono::milliseconds m_retryDelay{0};
    QThread m_thread;
    QObject* m_worker = nullptr;
    // Bumped by every flush. A save scheduled before a flush is not written unless its write has
    // started, and its completion is not called: the flush writes a newer list and reports itself.
    std::shared_ptr<std::atomic<quint64>> m_flushes = std::make_shared<std::atomic<quint64>>(0);
    // Worker only: the file on disk failed to load and must be kept before it is replaced.
    bool m_unreadableOnDisk = false;
};
