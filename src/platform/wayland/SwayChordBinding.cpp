#include "platform/wayland/SwayChordBinding.h"

#include "models/QuickPasteLog.h"
#include "platform/wayland/SwayIpcConnection.h"

#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace {

// Each request on the binding's own thread; sway answers a local client within a few ms.
constexpr int requestTimeoutMs = 1000;
// The removal at stop waits less: Clipwell may be quitting.
constexpr int unbindTimeoutMs = 200;
// How long stop() waits for the thread before leaving it to finish alone.
constexpr unsigned long stopWaitMs = 20;

} // namespace

struct SwayChordBinding::Shared {
    QMutex mutex;
    QWaitCondition changed;
    std::optional<Outcome> first;
    bool stopped = false;
    bool finished = false;
    int wakeFd = -1;
    std::function<void()> onPressed;
    std::function<void(const Outcome&)> onOutcome;

    ~Shared()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    // Callbacks run under the lock, so none is under way once stop() has taken it.
    void report(const Outcome& outcome)
    {
        QMutexLocker locker(&mutex);
        if (!first) {
            first = outcome;
            changed.wakeAll();
        }
        if (!stopped && onOutcome)
            onOutcome(outcome);
    }
    void pressed()
    {
        QMutexLocker locker(&mutex);
        if (!stopped && onPressed)
            onPressed();
    }
    bool isStopped()
    {
        QMutexLocker locker(&mutex);
        return stopped;
    }
};

namespace {

SwayChordBinding::Outcome bind(const QByteArray& path)
{
    using Status = SwayChordBinding::Outcome::Status;
    SwayIpcConnection sway;
    if (!sway.open(path))
        return {Status::unavailable, sway.error(), {}};
    const SwayIpcConnection::BindResult result = sway.bindChord(requestTimeoutMs);
    switch (result.status) {
    case SwayIpcConnection::BindStatus::Bound:
        return {Status::bound, {}, {}};
    case SwayIpcConnection::BindStatus::Conflict:
        return {Status::conflict, result.detail, result.path};
    case SwayIpcConnection::BindStatus::Failed:
        break;
    }
    return {Status::failed, result.detail.isEmpty() ? sway.error() : result.detail, {}};
}

void follow(const std::shared_ptr<SwayChordBinding::Shared>& shared, const QByteArray& path)
{
    using Outcome = SwayChordBinding::Outcome;
    // A subscribed connection carries only events: binding and unbinding go through others.
    SwayIpcConnection events;
    if (!events.open(path) || !events.subscribe(requestTimeoutMs)) {
        shared->report({Outcome::Status::unavailable, events.error(), {}});
        return;
    }
    bool bound = false;
    const auto bindNow = [&] {
        const Outcome outcome = bind(path);
        bound = outcome.status == Outcome::Status::bound;
        if (!bound)
            qCWarning(lcQuickPaste).noquote()
                << "Cannot bind the quick paste chord in sway:" << outcome.detail;
        shared->report(outcome);
    };
    bindNow();
    bool ended = false;
    while (!ended && !shared->isStopped()) {
        pollfd fds[2] = {{events.fd(), POLLIN, 0}, {shared->wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents)
            break;
        for (const SwayIpc::Message& message : events.readAvailable()) {
            switch (SwayIpc::classify(message)) {
            case SwayIpc::Event::QuickPasteBinding:
                shared->pressed();
                break;
            case SwayIpc::Event::Reload:
                bindNow();
                break;
            case SwayIpc::Event::Shutdown:
                ended = true;
                break;
            case SwayIpc::Event::Other:
                break;
            }
        }
        // sway 1.7 closes the socket at exit without the shutdown event it documents.
        if (ended || events.isBroken()) {
            bound = false;
            shared->report({Outcome::Status::unavailable, events.error(), {}});
            break;
        }
    }
    // unbindsym would as well remove a binding of the user's: only the one made here goes.
    if (bound) {
        SwayIpcConnection sway;
        if (sway.open(path))
            sway.unbindChord(unbindTimeoutMs);
    }
}

} // namespace

SwayChordBinding::SwayChordBinding(QByteArray socketPath) : m_socketPath(std::move(socketPath)) {}

SwayChordBinding::~SwayChordBinding()
{
    stop();
}

void SwayChordBinding::start()
{
    stop();
    m_shared = std::make_shared<Shared>();
    m_shared->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_shared->onPressed = onPressed;
    m_shared->onOutcome = onOutcome;
    std::thread([shared = m_shared, path = m_socketPath] {
        follow(shared, path);
        QMutexLocker locker(&shared->mutex);
        shared->finished = true;
        shared->changed.wakeAll();
    }).detach();
}

std::optional<SwayChordBinding::Outcome> SwayChordBinding::firstOutcome(int timeoutMs)
{
    if (!m_shared)
        return std::nullopt;
    QMutexLocker locker(&m_shared->mutex);
    if (!m_shared->first && !m_shared->finished)
        m_shared->changed.wait(&m_shared->mutex, QDeadlineTimer(timeoutMs));
    return m_shared->first;
}

void SwayChordBinding::stop()
{
    if (!m_shared)
        return;
    m_stopping = std::exchange(m_shared, {});
    const std::shared_ptr<Shared> shared = m_stopping;
    QMutexLocker locker(&shared->mutex);
    shared->stopped = true;
    const quint64 one = 1;
    if (::write(shared->wakeFd, &one, sizeof one) < 0)
        qCWarning(lcQuickPaste) << "Cannot wake the sway binding's thread";
    if (!shared->finished)
        shared->changed.wait(&shared->mutex, QDeadlineTimer(stopWaitMs));
}

void SwayChordBinding::waitForRemoval(int timeoutMs)
{
    if (!m_stopping)
        return;
    QMutexLocker locker(&m_stopping->mutex);
    if (!m_stopping->finished)
        m_stopping->changed.wait(&m_stopping->mutex, QDeadlineTimer(timeoutMs));
}
