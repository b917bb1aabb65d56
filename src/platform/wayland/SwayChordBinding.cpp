#include "platform/wayland/SwayChordBinding.h"

#include "models/QuickPasteLog.h"
#include "platform/wayland/SwayIpcConnection.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// Each request on the binding's own thread; sway answers a local client within a few ms.
constexpr int requestTimeoutMs = 1000;
// The removal at stop waits less: Clipwell may be quitting.
constexpr int unbindTimeoutMs = 200;

} // namespace

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

// An eventfd that stop() writes to, given up before it closes.
class Wake {
public:
    explicit Wake(ChordBinding::Link& link) : m_link(link), m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        m_link.setWake([fd = m_fd] {
            const quint64 one = 1;
            if (::write(fd, &one, sizeof one) < 0)
                qCWarning(lcQuickPaste) << "Cannot wake the sway binding's thread";
        });
    }
    ~Wake()
    {
        m_link.setWake({});
        ::close(m_fd);
    }
    Wake(const Wake&) = delete;
    Wake& operator=(const Wake&) = delete;
    int fd() const { return m_fd; }

private:
    ChordBinding::Link& m_link;
    const int m_fd;
};

void follow(ChordBinding::Link& link, const QByteArray& path)
{
    using Outcome = SwayChordBinding::Outcome;
    // A subscribed connection carries only events: binding and unbinding go through others.
    SwayIpcConnection events;
    if (!events.open(path) || !events.subscribe(requestTimeoutMs)) {
        link.report({Outcome::Status::unavailable, events.error(), {}});
        return;
    }
    bool bound = false;
    const auto bindNow = [&] {
        const Outcome outcome = bind(path);
        bound = outcome.status == Outcome::Status::bound;
        if (!bound)
            qCWarning(lcQuickPaste).noquote()
                << "Cannot bind the quick paste chord in sway:" << outcome.detail;
        link.report(outcome);
    };
    const Wake wake(link);
    bindNow();
    bool ended = false;
    while (!ended && !link.isStopped()) {
        pollfd fds[2] = {{events.fd(), POLLIN, 0}, {wake.fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents)
            break;
        for (const SwayIpc::Message& message : events.readAvailable()) {
            switch (SwayIpc::classify(message)) {
            case SwayIpc::Event::QuickPasteBinding:
                link.pressed();
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
            link.report({Outcome::Status::unavailable, events.error(), {}});
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

std::function<void(ChordBinding::Link&)> SwayChordBinding::body()
{
    return [path = m_socketPath](Link& link) { follow(link, path); };
}
