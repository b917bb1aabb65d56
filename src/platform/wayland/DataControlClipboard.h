#pragma once

#include "models/PasteboardItemSnapshot.h"
#include "platform/MimeTypeMap.h"
#include "platform/wayland/DataControlChannel.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Follows a Wayland clipboard on a thread of its own and reads each new copy completely through
// pipes, so that a slow or hostile owner never holds up the GUI thread. It serves what Clipwell writes
// from memory, and keeps the clipboard alive: when the clipboard empties while it holds a recorded
// copy, that copy goes back on it.
class DataControlClipboard {
public:
    struct Options {
        // How long an owner may take to start writing one type, and between two chunks.
        std::chrono::milliseconds answerTimeout{1000};
        // Upper bound for one type, however steadily it trickles in.
        std::chrono::milliseconds typeTimeout{5000};
        // Reading stops once the data of one copy passes this many bytes.
        qint64 sizeLimit = 12'582'912;
        // A reader of ours that takes nothing for this long is given up.
        std::chrono::milliseconds serveTimeout{5000};
    };

    struct Snapshot {
        // Selection changes counted since the start; the contents present at start are 0.
        quint64 generation = 0;
        QList<MimeTypeMap::Item> items;
    };

    // publish is called on the clipboard thread for every completed read. The channel is used on that
    // thread only from now on.
    DataControlClipboard(std::unique_ptr<DataControlChannel> channel, Options options,
                         std::function<void(Snapshot)> publish);
    ~DataControlClipboard();
    DataControlClipboard(const DataControlClipboard&) = delete;
    DataControlClipboard& operator=(const DataControlClipboard&) = delete;

    // Reads only happen while observing; a change seen meanwhile is read when observing resumes.
    void setObserving(bool observing);
    // Every change so far, including one being read, no longer counts as new.
    void markCurrentContentsSeen();
    quint64 seenGeneration() const { return m_seenGeneration.load(); }
    quint64 ownerGeneration() const { return m_generation.load(); }
    // Puts these types and bytes on the clipboard as our own source, and returns once the compositor
    // has taken it (or after 40 ms): a paste typed next goes over another connection, and must find
    // it there. False once the compositor is gone.
    bool write(QList<std::pair<QByteArray, QByteArray>> targets);
    // The copy read as this generation goes back on the clipboard when it empties. Thread-safe.
    void keepRecorded(quint64 generation, QList<MimeTypeMap::Item> items);
    // Nothing kept so far is put back any more. Thread-safe.
    void forgetKept() { keepRecorded(0, {}); }

private:
    using Clock = std::chrono::steady_clock;
    using Targets = QList<std::pair<QByteArray, QByteArray>>;
    enum class Wait { ready, timeout, changed, stopping };
    enum class Fetch { ok, failed, changed, stopping };
    struct Kept {
        quint64 generation = 0;
        QList<MimeTypeMap::Item> items;
    };
    struct Writer {
        int fd = -1;
        QByteArray data;
        qsizetype written = 0;
        Clock::time_point deadline;
    };
    struct Source {
        quint64 id = 0;
        Targets targets;
    };

    void run();
    void wake();
    Wait wait(int readFd, Clock::time_point deadline);
    bool dispatch();
    void handleSelection(std::optional<QList<QByteArray>> mimeTypes);
    void handleSend(quint64 source, const QByteArray& mimeType, int fd);
    // Writes what the readers of ours take; events are the poll results, one per writer.
    void serve(const std::vector<short>& events);
    void applyWrite();
    // Ends the wait of write() for this ticket and those before it.
    void writeTaken(quint64 ticket);
    void restoreIfKept();
    MimeTypeMap::Read readContents();
    Fetch fetch(const QByteArray& mimeType, QByteArray& data, qint64 budget);
    bool stopping() const { return m_stop.load(); }

    std::unique_ptr<DataControlChannel> m_channel;
    Options m_options;
    std::function<void(Snapshot)> m_publish;
    int m_wakeFd = -1;
    std::unique_ptr<QThread> m_thread;

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_alive{true};
    std::atomic<bool> m_observing{false};
    std::atomic<quint64> m_generation{0};
    std::atomic<quint64> m_seenGeneration{0};
    QMutex m_mutex;
    Kept m_recorded;
    std::optional<Targets> m_pendingWrite;
    // Writes asked for, the one pending, and the last the compositor took; guarded by m_mutex.
    quint64 m_writesAsked = 0;
    quint64 m_pendingTicket = 0;
    quint64 m_writeTaken = 0;
    QWaitCondition m_taken;
    // Clipboard thread only: the write offered last, until the compositor's selection event says it
    // took it.
    quint64 m_writeOffered = 0;
    // Clipboard thread only.
    std::optional<QList<QByteArray>> m_offered;
    // The clipboard emptied while this generation was on it.
    std::optional<quint64> m_emptied;
    quint64 m_readGeneration = 0;
    std::vector<Source> m_sources;
    std::vector<Writer> m_writers;
};
