#include "platform/wayland/DataControlClipboard.h"

#include "models/PasteboardType.h"

#include <QLoggingCategory>
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcWaylandPasteboard, "app.clipwell.mac.Pasteboard", QtInfoMsg)

namespace {

constexpr qsizetype chunkSize = 64 * 1024;
// Readers of ours served at once; a client that opens more gets nothing for the rest.
constexpr std::size_t maxWriters = 32;
// Sources of ours kept alive: the current one and the one a slow reader may still be asking.
constexpr std::size_t maxSources = 2;
constexpr std::size_t firstWriterIndex = 3;
// A local compositor takes a selection within a millisecond; the GUI thread waits no longer than this.
constexpr int writeTakenWaitMs = 40;

int remainingMilliseconds(std::chrono::steady_clock::time_point deadline)
{
    if (deadline == std::chrono::steady_clock::time_point::max())
        return -1;
    const auto remaining =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<qint64>(remaining.count(), 0, 60'000));
}

} // namespace

DataControlClipboard::DataControlClipboard(std::unique_ptr<DataControlChannel> channel, Options options,
                                           std::function<void(Snapshot)> publish)
    : m_channel(std::move(channel)), m_options(options), m_publish(std::move(publish))
{
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_channel->setEvents({
        [this](std::optional<QList<QByteArray>> mimeTypes) { handleSelection(std::move(mimeTypes)); },
        [this](quint64 source, const QByteArray& mimeType, int fd) { handleSend(source, mimeType, fd); },
        [this](quint64 source) {
            const auto found = std::find_if(m_sources.begin(), m_sources.end(),
                                            [source](const Source& s) { return s.id == source; });
            if (found != m_sources.end()) {
                m_channel->drop(source);
                m_sources.erase(found);
            }
        },
    });
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("app.clipwell.pasteboard"));
    m_thread->start();
}

DataControlClipboard::~DataControlClipboard()
{
    m_stop = true;
    wake();
    m_thread->wait();
    for (const Writer& writer : m_writers)
        ::close(writer.fd);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void DataControlClipboard::setObserving(bool observing)
{
    m_observing = observing;
    wake();
}

void DataControlClipboard::markCurrentContentsSeen()
{
    const quint64 current = m_generation.load();
    quint64 seen = m_seenGeneration.load();
    while (seen < current && !m_seenGeneration.compare_exchange_weak(seen, current)) {
    }
}

bool DataControlClipboard::write(QList<std::pair<QByteArray, QByteArray>> targets)
{
    QMutexLocker lock(&m_mutex);
    m_pendingWrite = std::move(targets);
    const quint64 ticket = m_pendingTicket = ++m_writesAsked;
    wake();
    const QDeadlineTimer deadline(writeTakenWaitMs);
    while (m_writeTaken < ticket && m_alive && !deadline.hasExpired())
        m_taken.wait(&m_mutex, deadline);
    return m_alive.load();
}

void DataControlClipboard::writeTaken(quint64 ticket)
{
    const QMutexLocker lock(&m_mutex);
    m_writeTaken = std::max(m_writeTaken, ticket);
    m_taken.wakeAll();
}

void DataControlClipboard::keepRecorded(quint64 generation, QList<MimeTypeMap::Item> items)
{
    {
        const QMutexLocker lock(&m_mutex);
        m_recorded = Kept{generation, std::move(items)};
    }
    // The owner may have quit while its copy was being recorded: the clipboard is waiting for it.
    wake();
}

void DataControlClipboard::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void DataControlClipboard::run()
{
    // A reader that goes away mid-transfer must cost an EPIPE, not the process.
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);

    while (!stopping() && dispatch()) {
        applyWrite();
        restoreIfKept();
        const quint64 generation = m_generation.load();
        if (m_observing && generation > m_readGeneration && generation > m_seenGeneration) {
            MimeTypeMap::Read read = readContents();
            if (read.outcome != MimeTypeMap::Read::Outcome::abandoned) {
                m_readGeneration = generation;
                m_publish(Snapshot{generation, std::move(read.items)});
            }
            continue;
        }
        wait(-1, Clock::time_point::max());
    }
}

bool DataControlClipboard::dispatch()
{
    if (!m_alive)
        return false;
    if (m_channel->dispatch())
        return true;
    qCWarning(lcWaylandPasteboard) << "Lost the connection to the Wayland compositor; the clipboard is no "
                                      "longer followed.";
    m_alive = false;
    m_stop = true;
    writeTaken(std::numeric_limits<quint64>::max());
    return false;
}

DataControlClipboard::Wait DataControlClipboard::wait(int readFd, Clock::time_point deadline)
{
    const quint64 generation = m_generation.load();
    std::vector<pollfd> fds{{m_channel->fd(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}, {readFd, POLLIN, 0}};
    Clock::time_point wakeAt = deadline;
    for (const Writer& writer : m_writers) {
        fds.push_back({writer.fd, POLLOUT, 0});
        wakeAt = std::min(wakeAt, writer.deadline);
    }
    const int ready = ::poll(fds.data(), fds.size(), remainingMilliseconds(wakeAt));
    std::vector<short> writerEvents;
    for (std::size_t i = firstWriterIndex; i < fds.size(); ++i)
        writerEvents.push_back(ready > 0 ? fds[i].revents : short(0));
    serve(writerEvents);
    if (ready > 0 && (fds[1].revents & POLLIN)) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t drained = ::read(m_wakeFd, &value, sizeof value);
    }
    if (!dispatch() || stopping())
        return Wait::stopping;
    applyWrite();
    if (m_generation.load() != generation)
        return Wait::changed;
    if (ready > 0 && readFd >= 0 && fds[2].revents != 0)
        return Wait::ready;
    return Clock::now() >= deadline ? Wait::timeout : Wait::ready;
}

void DataControlClipboard::handleSelection(std::optional<QList<QByteArray>> mimeTypes)
{
    // The compositor handles our requests in order: it has taken our last source.
    if (m_writeOffered != 0)
        writeTaken(std::exchange(m_writeOffered, 0));
    const quint64 ended = m_generation.load();
    m_offered = std::move(mimeTypes);
    ++m_generation;
    // Our own write, or a copy we put back: the GUI side already holds what it wrote.
    if (m_offered && m_offered->contains(QByteArray(PasteboardType::ownMarker.data())))
        markCurrentContentsSeen();
    if (m_offered)
        m_emptied.reset();
    else
        m_emptied = ended;
}

void DataControlClipboard::handleSend(quint64 source, const QByteArray& mimeType, int fd)
{
    const auto found = std::find_if(m_sources.cbegin(), m_sources.cend(),
                                    [source](const Source& s) { return s.id == source; });
    const Targets* targets = found == m_sources.cend() ? nullptr : &found->targets;
    const auto target = targets ? std::find_if(targets->cbegin(), targets->cend(),
                                               [&](const auto& t) { return t.first == mimeType; })
                                : Targets::const_iterator();
    if (!targets || target == targets->cend() || m_writers.size() >= maxWriters) {
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_writers.push_back({fd, target->second, 0, Clock::now() + m_options.serveTimeout});
    // Most readers read at once: start without waiting for the next poll.
    std::vector<short> events(m_writers.size(), 0);
    events.back() = POLLOUT;
    serve(events);
}

void DataControlClipboard::serve(const std::vector<short>& events)
{
    const Clock::time_point now = Clock::now();
    std::vector<Writer> remaining;
    for (std::size_t i = 0; i < m_writers.size(); ++i) {
        Writer& writer = m_writers[i];
        bool done = false;
        if (i < events.size() && events[i] != 0) {
            for (;;) {
                if (writer.written == writer.data.size()) {
                    done = true;
                    break;
                }
                const qsizetype size = std::min(chunkSize, writer.data.size() - writer.written);
                const ssize_t written =
                    ::write(writer.fd, writer.data.constData() + writer.written, size_t(size));
                if (written > 0) {
                    writer.written += written;
                    writer.deadline = now + m_options.serveTimeout;
                } else if (written < 0 && errno == EINTR) {
                    continue;
                } else {
                    // EAGAIN waits for the next poll; anything else means the reader went away.
                    done = !(written < 0 && errno == EAGAIN);
                    break;
                }
            }
        }
        if (!done && now >= writer.deadline) {
            qCInfo(lcWaylandPasteboard) << "Gave up on an application that did not read the clipboard.";
            done = true;
        }
        if (done)
            ::close(writer.fd);
        else
            remaining.push_back(std::move(writer));
    }
    m_writers = std::move(remaining);
}

void DataControlClipboard::applyWrite()
{
    std::optional<Targets> targets;
    quint64 ticket = 0;
    {
        const QMutexLocker lock(&m_mutex);
        targets.swap(m_pendingWrite);
        ticket = std::exchange(m_pendingTicket, 0);
    }
    if (!targets)
        return;
    QList<QByteArray> types;
    for (const auto& target : *targets)
        types.append(target.first);
    const quint64 id = m_channel->offer(types);
    if (id == 0) {
        // Nothing for the writer to wait for.
        writeTaken(ticket);
        return;
    }
    if (ticket != 0)
        m_writeOffered = ticket;
    m_sources.push_back({id, std::move(*targets)});
    while (m_sources.size() > maxSources) {
        m_channel->drop(m_sources.front().id);
        m_sources.erase(m_sources.begin());
    }
}

void DataControlClipboard::restoreIfKept()
{
    if (!m_emptied)
        return;
    const quint64 ended = *m_emptied;
    QList<MimeTypeMap::Item> items;
    {
        const QMutexLocker lock(&m_mutex);
        if (m_recorded.generation == ended)
            items = m_recorded.items;
    }
    // Nothing kept (the contents present at start included): the clipboard stays empty, unless the
    // copy that was on it is recorded yet.
    if (items.isEmpty())
        return;
    m_emptied.reset();
    QList<PasteboardItemSnapshot> snapshots;
    for (const MimeTypeMap::Item& item : items) {
        PasteboardItemSnapshot snapshot;
        for (const QString& type : item.types)
            snapshot.representations.append({type, item.data.value(type)});
        snapshots.append(snapshot);
    }
    // The marker tells every reader, ours included, that this is no new copy.
    snapshots.first().representations.append({PasteboardType::ownMarker, QByteArrayLiteral("1")});
    markCurrentContentsSeen();
    {
        const QMutexLocker lock(&m_mutex);
        m_pendingWrite = MimeTypeMap::writeTargets(snapshots);
    }
    applyWrite();
    qCInfo(lcWaylandPasteboard) << "The clipboard emptied; the copy last recorded stays on it.";
}

MimeTypeMap::Read DataControlClipboard::readContents()
{
    if (!m_offered)
        return {MimeTypeMap::Read::Outcome::complete, {}};
    return MimeTypeMap::read(MimeTypeMap::plan(*m_offered), m_options.sizeLimit,
                             [this](const QByteArray& mimeType, QByteArray& data, qint64 budget) {
                                 switch (fetch(mimeType, data, budget)) {
                                 case Fetch::ok:
                                     return MimeTypeMap::Fetched::ok;
                                 case Fetch::failed:
                                     qCInfo(lcWaylandPasteboard)
                                         << "The clipboard owner did not provide" << mimeType;
                                     return MimeTypeMap::Fetched::failed;
                                 case Fetch::changed:
                                 case Fetch::stopping:
                                     break;
                                 }
                                 return MimeTypeMap::Fetched::abandoned;
                             });
}

DataControlClipboard::Fetch DataControlClipboard::fetch(const QByteArray& mimeType, QByteArray& data,
                                                        qint64 budget)
{
    std::array<int, 2> pipe{-1, -1};
    if (::pipe2(pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return Fetch::failed;
    const bool asked = m_channel->receive(mimeType, pipe[1]);
    // The owner holds its own copy of the write end now; ours would keep the pipe from ever ending.
    ::close(pipe[1]);
    if (!asked) {
        ::close(pipe[0]);
        return Fetch::failed;
    }
    const Clock::time_point typeDeadline = Clock::now() + m_options.typeTimeout;
    Clock::time_point answerDeadline = Clock::now() + m_options.answerTimeout;
    Fetch result = Fetch::failed;
    std::array<char, chunkSize> buffer{};
    for (bool reading = true; reading;) {
        switch (wait(pipe[0], std::min(answerDeadline, typeDeadline))) {
        case Wait::changed:
            // An owner that quit right after writing has left its data in the pipe: read on. A copy
            // that replaces this one ends the read.
            if (!m_offered)
                continue;
            result = Fetch::changed;
            reading = false;
            continue;
        case Wait::stopping:
            result = Fetch::stopping;
            reading = false;
            continue;
        case Wait::timeout:
            qCInfo(lcWaylandPasteboard) << "The clipboard owner took too long to provide" << mimeType;
            reading = false;
            continue;
        case Wait::ready:
            break;
        }
        for (;;) {
            const ssize_t count = ::read(pipe[0], buffer.data(), buffer.size());
            if (count > 0) {
                // One byte past the budget is enough to tell the copy is too large.
                data.append(buffer.data(), std::min<qsizetype>(count, budget + 1 - data.size()));
                answerDeadline = Clock::now() + m_options.answerTimeout;
                if (data.size() > budget) {
                    result = Fetch::ok;
                    reading = false;
                    break;
                }
            } else if (count == 0) {
                // An owner that writes nothing before it closes did not provide the type.
                result = data.isEmpty() ? Fetch::failed : Fetch::ok;
                reading = false;
                break;
            } else if (errno != EINTR) {
                if (errno != EAGAIN)
                    reading = false;
                break;
            }
        }
    }
    ::close(pipe[0]);
    return result;
}
