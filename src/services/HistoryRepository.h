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
    static inline const QString fileName = QStringLiteral("history.plist");

    enum class RepositoryError { archiveTooLarge, unsupportedVersion };

    // A failed load or save: one of the repository's own errors, or the file system's or the
    // decoder's message passed through.
    struct Error {
        std::optional<RepositoryError> code;
        QString message;

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

    QString directory() const { return m_directory; }
    QString filePath() const;
    static QString defaultDirectory();

    void load(LoadCompletion completion);
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

    QString m_directory;
    std::unique_ptr<DelayTimer> m_timer;
    QThread m_thread;
    QObject* m_worker = nullptr;
    // Bumped by every save and flush; a posted write that finds it moved on has been superseded.
    std::shared_ptr<std::atomic<quint64>> m_generation = std::make_shared<std::atomic<quint64>>(0);
};
