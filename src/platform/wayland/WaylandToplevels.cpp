#include "platform/wayland/WaylandToplevels.h"

#include "plasma-window-management-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

Q_LOGGING_CATEGORY(lcWorkspace, "app.clipwell.mac.Workspace", QtInfoMsg)

namespace {

// Version 3 only adds the parent event, which is ignored; older ones lack nothing needed here.
constexpr uint32_t managerVersion = 3;
// Version 16 only adds the resource name, which is ignored.
constexpr uint32_t plasmaVersion = 16;

template <typename... Arguments> void ignore(void*, Arguments...) {}

} // namespace

struct WaylandToplevels::Handle {
    Connection* connection = nullptr;
    // One of the two, as the compositor offers.
    zwlr_foreign_toplevel_handle_v1* proxy = nullptr;
    org_kde_plasma_window* window = nullptr;
    qint64 identifier = 0;
    // Pending until done, or for a KDE window until its initial state is complete.
    QString appId;
    QString title;
    bool activated = false;
    bool complete = false;
};

// What the thread holds on the connection.
struct WaylandToplevels::Connection {
    WaylandToplevels* owner = nullptr;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    zwlr_foreign_toplevel_manager_v1* manager = nullptr;
    // KDE's window list, bound only where the wlr one is missing.
    org_kde_plasma_window_management* plasma = nullptr;
    uint32_t plasmaName = 0;
    uint32_t plasmaOffered = 0;
    std::vector<std::unique_ptr<Handle>> handles;
    // A round trip at a time: the globals, then the toplevels there are at the start, and on KDE the
    // initial states of the windows asked for.
    enum class Phase { globals, toplevels, windows, unsupported, following };
    Phase phase = Phase::globals;
    wl_callback* callback = nullptr;
    bool finished = false;

    void sync()
    {
        callback = wl_display_sync(display);
        wl_callback_add_listener(callback, &syncListener, this);
    }
    static void synced(void* data, wl_callback* callback, uint32_t)
    {
        auto* connection = static_cast<Connection*>(data);
        wl_callback_destroy(callback);
        connection->callback = nullptr;
        if (connection->phase == Phase::globals && !connection->manager && !connection->plasmaName) {
            connection->phase = Phase::unsupported;
        } else if (connection->phase == Phase::globals) {
            if (!connection->manager)
                connection->bindPlasma();
            connection->phase = Phase::toplevels;
            connection->sync();
        } else if (connection->phase == Phase::toplevels && connection->plasma) {
            connection->phase = Phase::windows;
            connection->sync();
        } else {
            // The state at the start is no change.
            connection->phase = Phase::following;
            connection->owner->m_reportedActivation =
                connection->owner->activated().value_or(Toplevel()).identifier;
        }
    }
    static constexpr wl_callback_listener syncListener{synced};

    ~Connection()
    {
        for (const std::unique_ptr<Handle>& handle : handles)
            destroy(*handle);
        if (callback)
            wl_callback_destroy(callback);
        if (manager)
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
        if (plasma)
            org_kde_plasma_window_management_destroy(plasma);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version)
    {
        auto* connection = static_cast<Connection*>(data);
        if (std::strcmp(interface, org_kde_plasma_window_management_interface.name) == 0) {
            connection->plasmaName = name;
            connection->plasmaOffered = version;
        }
        if (connection->manager ||
            std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) != 0)
            return;
        connection->manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, managerVersion)));
        zwlr_foreign_toplevel_manager_v1_add_listener(connection->manager, &managerListener, connection);
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener registryListener{global, globalRemove};

    Handle& add()
    {
        auto handle = std::make_unique<Handle>();
        handle->connection = this;
        {
            const QMutexLocker lock(&owner->m_mutex);
            handle->identifier = owner->m_nextIdentifier++;
        }
        return *handles.emplace_back(std::move(handle));
    }
    void remove(Handle* handle)
    {
        owner->close(*handle);
        destroy(*handle);
        std::erase_if(handles,
                      [handle](const std::unique_ptr<Handle>& known) { return known.get() == handle; });
    }
    void destroy(const Handle& handle) const
    {
        if (handle.proxy)
            zwlr_foreign_toplevel_handle_v1_destroy(handle.proxy);
        else if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(handle.window)) >=
                 ORG_KDE_PLASMA_WINDOW_DESTROY_SINCE_VERSION)
            org_kde_plasma_window_destroy(handle.window);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(handle.window));
    }

    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* proxy)
    {
        Handle& handle = static_cast<Connection*>(data)->add();
        handle.proxy = proxy;
        zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &handleListener, &handle);
    }
    static void finishedManager(void* data, zwlr_foreign_toplevel_manager_v1*)
    {
        static_cast<Connection*>(data)->finished = true;
    }
    static constexpr zwlr_foreign_toplevel_manager_v1_listener managerListener{toplevel, finishedManager};

    static void title(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title)
    {
        static_cast<Handle*>(data)->title = QString::fromUtf8(title);
    }
    static void appId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId)
    {
        static_cast<Handle*>(data)->appId = QString::fromUtf8(appId);
    }
    static void output(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states)
    {
        const auto* values = static_cast<const uint32_t*>(states->data);
        const uint32_t* end = values + states->size / sizeof(uint32_t);
        static_cast<Handle*>(data)->activated =
            std::find(values, end, uint32_t{ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED}) != end;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1*)
    {
        auto* handle = static_cast<Handle*>(data);
        handle->connection->owner->apply(*handle);
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1*)
    {
        auto* handle = static_cast<Handle*>(data);
        handle->connection->remove(handle);
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handleListener{title, appId, output, output,
                                                                             state, done,  closed, parent};

    void bindPlasma()
    {
        plasma = static_cast<org_kde_plasma_window_management*>(
            wl_registry_bind(registry, plasmaName, &org_kde_plasma_window_management_interface,
                             std::min(plasmaOffered, plasmaVersion)));
        org_kde_plasma_window_management_add_listener(plasma, &plasmaListener, this);
    }
    void addWindow(org_kde_plasma_window* window)
    {
        Handle& handle = add();
        handle.window = window;
        // Without an end to the initial state, every change counts at once.
        handle.complete = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(window)) <
                          ORG_KDE_PLASMA_WINDOW_INITIAL_STATE_SINCE_VERSION;
        org_kde_plasma_window_add_listener(window, &windowListener, &handle);
    }
    static void plasmaWindow(void* data, org_kde_plasma_window_management* manager, uint32_t id)
    {
        // Newer versions name each window by uuid; should the bare id come too, it would count twice.
        if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(manager)) <
            ORG_KDE_PLASMA_WINDOW_MANAGEMENT_WINDOW_WITH_UUID_SINCE_VERSION)
            static_cast<Connection*>(data)->addWindow(
                org_kde_plasma_window_management_get_window(manager, id));
    }
    static void plasmaWindowWithUuid(void* data, org_kde_plasma_window_management* manager, uint32_t,
                                     const char* uuid)
    {
        static_cast<Connection*>(data)->addWindow(
            org_kde_plasma_window_management_get_window_by_uuid(manager, uuid));
    }
    static constexpr org_kde_plasma_window_management_listener plasmaListener{
        ignore<org_kde_plasma_window_management*, uint32_t>, plasmaWindow,
        ignore<org_kde_plasma_window_management*, wl_array*>,
        ignore<org_kde_plasma_window_management*, const char*>, plasmaWindowWithUuid};

    // KWin lists application windows only (its own and layer surfaces such as our quick paste popup
    // are not), each under its application's id, dialogs included.
    static void changed(const Handle& handle)
    {
        if (handle.complete)
            handle.connection->owner->apply(handle);
    }
    static void windowTitle(void* data, org_kde_plasma_window*, const char* title)
    {
        auto* handle = static_cast<Handle*>(data);
        handle->title = QString::fromUtf8(title);
        changed(*handle);
    }
    static void windowAppId(void* data, org_kde_plasma_window*, const char* appId)
    {
        auto* handle = static_cast<Handle*>(data);
        handle->appId = QString::fromUtf8(appId);
        changed(*handle);
    }
    static void windowState(void* data, org_kde_plasma_window*, uint32_t flags)
    {
        auto* handle = static_cast<Handle*>(data);
        handle->activated = (flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE) != 0;
        changed(*handle);
    }
    static void windowUnmapped(void* data, org_kde_plasma_window*)
    {
        auto* handle = static_cast<Handle*>(data);
        handle->connection->remove(handle);
    }
    static void windowInitialState(void* data, org_kde_plasma_window*)
    {
        auto* handle = static_cast<Handle*>(data);
        handle->complete = true;
        changed(*handle);
    }
    static constexpr org_kde_plasma_window_listener windowListener{
        windowTitle,
        windowAppId,
        windowState,
        ignore<org_kde_plasma_window*, int32_t>,
        ignore<org_kde_plasma_window*, const char*>,
        windowUnmapped,
        windowInitialState,
        ignore<org_kde_plasma_window*, org_kde_plasma_window*>,
        ignore<org_kde_plasma_window*, int32_t, int32_t, uint32_t, uint32_t>,
        ignore<org_kde_plasma_window*>,
        ignore<org_kde_plasma_window*, uint32_t>,
        ignore<org_kde_plasma_window*, const char*>,
        ignore<org_kde_plasma_window*, const char*>,
        ignore<org_kde_plasma_window*, const char*, const char*>,
        ignore<org_kde_plasma_window*, const char*>,
        ignore<org_kde_plasma_window*, const char*>,
        ignore<org_kde_plasma_window*, const char*>};
};

WaylandToplevels::WaylandToplevels(QByteArray waylandDisplay, std::function<void()> onActivation)
    : m_waylandDisplay(std::move(waylandDisplay)), m_onActivation(std::move(onActivation))
{
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        qCWarning(lcWorkspace) << "Cannot follow the compositor's windows:" << std::strerror(errno);
        return;
    }
    m_thread = std::thread([this] { run(); });
}

WaylandToplevels::~WaylandToplevels()
{
    if (m_wakeFd < 0)
        return;
    const uint64_t one = 1;
    // An eventfd counter this far from its limit always takes one more.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    ::close(m_wakeFd);
}

QList<WaylandToplevels::Toplevel> WaylandToplevels::toplevels() const
{
    const QMutexLocker lock(&m_mutex);
    return m_open;
}

std::optional<WaylandToplevels::Toplevel> WaylandToplevels::activated() const
{
    const QMutexLocker lock(&m_mutex);
    if (m_activationOrder.isEmpty())
        return std::nullopt;
    for (const Toplevel& toplevel : m_open) {
        if (toplevel.identifier == m_activationOrder.last())
            return toplevel;
    }
    return std::nullopt;
}

bool WaylandToplevels::isClosed(qint64 identifier) const
{
    const QMutexLocker lock(&m_mutex);
    if (identifier < firstIdentifier || identifier >= m_nextIdentifier)
        return false;
    return std::none_of(m_open.cbegin(), m_open.cend(),
                        [identifier](const Toplevel& toplevel) { return toplevel.identifier == identifier; });
}

void WaylandToplevels::apply(const Handle& handle)
{
    const QMutexLocker lock(&m_mutex);
    const Toplevel toplevel{handle.identifier, handle.appId, handle.title};
    const auto known = std::find_if(m_open.begin(), m_open.end(), [&](const Toplevel& open) {
        return open.identifier == handle.identifier;
    });
    if (known == m_open.end())
        m_open.append(toplevel);
    else
        *known = toplevel;
    if (!handle.activated)
        m_activationOrder.removeOne(handle.identifier);
    else if (!m_activationOrder.contains(handle.identifier))
        m_activationOrder.append(handle.identifier);
}

void WaylandToplevels::close(const Handle& handle)
{
    const QMutexLocker lock(&m_mutex);
    m_open.removeIf([&](const Toplevel& open) { return open.identifier == handle.identifier; });
    m_activationOrder.removeOne(handle.identifier);
}

void WaylandToplevels::forgetAll()
{
    const QMutexLocker lock(&m_mutex);
    m_open.clear();
    m_activationOrder.clear();
}

void WaylandToplevels::reportActivation()
{
    qint64 activated = 0;
    {
        const QMutexLocker lock(&m_mutex);
        activated = m_activationOrder.isEmpty() ? 0 : m_activationOrder.last();
    }
    // A focus change comes as one toplevel's deactivation and another's activation: one report.
    if (std::exchange(m_reportedActivation, activated) != activated && m_onActivation)
        m_onActivation();
}

void WaylandToplevels::run()
{
    Connection connection;
    connection.owner = this;
    connection.display =
        wl_display_connect(m_waylandDisplay.isEmpty() ? nullptr : m_waylandDisplay.constData());
    if (!connection.display) {
        qCInfo(lcWorkspace).noquote() << "Cannot reach the Wayland compositor" << m_waylandDisplay
                                      << "to follow its windows; copies have no source application.";
        return;
    }
    connection.registry = wl_display_get_registry(connection.display);
    wl_registry_add_listener(connection.registry, &Connection::registryListener, &connection);
    // No round trip: a compositor that never answers must not keep the thread from stopping.
    connection.sync();

    const int displayFd = wl_display_get_fd(connection.display);
    for (;;) {
        if (connection.phase == Connection::Phase::unsupported) {
            qCInfo(lcWorkspace)
                << "The Wayland compositor does not list its windows to Clipwell (no wlr"
                   " foreign-toplevel management; KDE's window management, which KWin offers only to"
                   " applications installed with a desktop entry granting it, is missing too); copies"
                   " have no source application.";
            return;
        }
        if (connection.finished) {
            qCInfo(lcWorkspace) << "The Wayland compositor stopped listing its windows.";
            break;
        }
        if (connection.phase == Connection::Phase::following)
            reportActivation();
        if (wl_display_prepare_read(connection.display) != 0) {
            if (wl_display_dispatch_pending(connection.display) < 0)
                break;
            continue;
        }
        // Only small requests are ever sent; a full buffer goes out on the next turn.
        wl_display_flush(connection.display);
        pollfd fds[] = {{displayFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 || fds[1].revents != 0 || (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            wl_display_cancel_read(connection.display);
            if (ready < 0 && errno == EINTR)
                continue;
            if (fds[1].revents != 0)
                return;
            if (ready < 0)
                break;
            continue;
        }
        if (wl_display_read_events(connection.display) < 0 ||
            wl_display_dispatch_pending(connection.display) < 0)
            break;
    }
    if (!connection.finished)
        qCWarning(lcWorkspace)
            << "Lost the connection to the Wayland compositor; windows are no longer followed.";
    forgetAll();
    if (connection.phase == Connection::Phase::following)
        reportActivation();
}
