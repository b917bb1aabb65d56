#pragma once

#include "platform/wayland/DataControlChannel.h"

#include <QHash>
#include <QMutex>
#include <QStringList>
#include <atomic>
#include <csignal>
#include <deque>
#include <fcntl.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

// A compositor in memory: tests make other clients' copies and read our sources; owners write from
// threads of their own, the way they do over real pipes.
class FakeDataControlChannel final : public DataControlChannel {
public:
    // quitsAtOnce writes all it has and quits, as wl-copy --paste-once does: the clipboard empties.
    enum class Owner { writes, closesEarly, neverWrites, writesForever, quitsAtOnce };
    struct Type {
        QByteArray mime;
        QByteArray data;
        Owner owner = Owner::writes;
    };

    FakeDataControlChannel() : m_eventFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~FakeDataControlChannel() override
    {
        m_stop = true;
        for (std::thread& writer : m_writers)
            writer.join();
        for (int fd : m_heldOpen)
            ::close(fd);
        ::close(m_eventFd);
    }

    // What the clipboard holds when we connect: no event tells of it.
    void holdAtStart(const QList<Type>& types) { m_current = types; }
    // Another client's copy, or an empty clipboard without types.
    void copy(const QList<Type>& types, bool empty = false)
    {
        post([this, types, empty] {
            m_current = types;
            std::optional<QList<QByteArray>> mimes;
            if (!empty) {
                mimes.emplace();
                for (const Type& type : types)
                    mimes->append(type.mime);
            }
            m_events.selection(mimes);
        });
    }
    // A client reads one type of our current source through a pipe; returns the read end.
    int read(const QByteArray& mime)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return -1;
        post([this, mime, fd = fds[1]] { m_events.send(m_lastSource, mime, fd); });
        return fds[0];
    }
    // Sources we set, with their types, in order; and the types asked of owners.
    QList<QList<QByteArray>> sources() const { return locked(m_sources); }
    // Sources the compositor made the selection, telling every client.
    int taken() const { return locked(m_taken); }
    QList<QByteArray> received() const { return locked(m_received); }

    void setEvents(Events events) override { m_events = std::move(events); }
    int fd() const override { return m_eventFd; }
    bool dispatch() override
    {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t drained = ::read(m_eventFd, &count, sizeof count);
        std::deque<std::function<void()>> calls;
        {
            const QMutexLocker lock(&m_mutex);
            calls.swap(m_calls);
        }
        for (const auto& call : calls)
            call();
        return true;
    }
    bool receive(const QByteArray& mime, int fd) override
    {
        {
            const QMutexLocker lock(&m_mutex);
            m_received.append(mime);
        }
        const auto type =
            std::find_if(m_current.cbegin(), m_current.cend(), [&](const Type& t) { return t.mime == mime; });
        if (type == m_current.cend())
            return false;
        const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        ::fcntl(own, F_SETFL, ::fcntl(own, F_GETFL) & ~O_NONBLOCK);
        if (type->owner == Owner::neverWrites) {
            m_heldOpen.append(own);
            return true;
        }
        if (type->owner == Owner::quitsAtOnce) {
            [[maybe_unused]] const ssize_t written =
                ::write(own, type->data.constData(), size_t(type->data.size()));
            ::close(own);
            copy({}, true);
            return true;
        }
        m_writers.emplace_back([this, own, type = *type] {
            sigset_t brokenPipe;
            sigemptyset(&brokenPipe);
            sigaddset(&brokenPipe, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
            do {
                for (qsizetype at = 0;
                     type.owner != Owner::closesEarly && at < type.data.size() && !m_stop;) {
                    const ssize_t written =
                        ::write(own, type.data.constData() + at, size_t(type.data.size() - at));
                    if (written <= 0) {
                        ::close(own);
                        return;
                    }
                    at += written;
                }
            } while (type.owner == Owner::writesForever && !m_stop);
            ::close(own);
        });
        return true;
    }
    quint64 offer(const QList<QByteArray>& mimeTypes) override
    {
        {
            const QMutexLocker lock(&m_mutex);
            m_sources.append(mimeTypes);
        }
        // The compositor tells every data-control client, us included, and cancels the old source.
        if (m_lastSource != 0)
            m_events.cancelled(m_lastSource);
        post([this, mimeTypes] {
            m_current.clear();
            {
                const QMutexLocker lock(&m_mutex);
                ++m_taken;
            }
            m_events.selection(mimeTypes);
        });
        return ++m_lastSource;
    }
    void drop(quint64) override {}

private:
    template <typename T> T locked(const T& value) const
    {
        const QMutexLocker lock(&m_mutex);
        return value;
    }
    void post(std::function<void()> call)
    {
        {
            const QMutexLocker lock(&m_mutex);
            m_calls.push_back(std::move(call));
        }
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_eventFd, &one, sizeof one);
    }

    int m_eventFd;
    Events m_events;
    mutable QMutex m_mutex;
    std::deque<std::function<void()>> m_calls;
    QList<QList<QByteArray>> m_sources;
    int m_taken = 0;
    QList<QByteArray> m_received;
    // Clipboard thread only.
    QList<Type> m_current;
    quint64 m_lastSource = 0;
    std::vector<std::thread> m_writers;
    QList<int> m_heldOpen;
    std::atomic<bool> m_stop{false};
};
