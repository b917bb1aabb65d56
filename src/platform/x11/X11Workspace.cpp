#include "platform/x11/X11Workspace.h"

#include "platform/x11/X11WorkspaceEvents.h"
#include "platform/x11/XcbPointers.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <sys/types.h>
#include <xcb/xcb.h>

namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeDeleter>;

xcb_get_property_cookie_t request(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name,
                                  xcb_atom_t type, uint32_t longLength)
{
    return xcb_get_property(connection, 0, window, name, type, 0, longLength);
}

// An error (a window that has gone away, say) gives no reply rather than a crash.
PropertyReply reply(xcb_connection_t* connection, xcb_get_property_cookie_t cookie)
{
    xcb_generic_error_t* error = nullptr;
    PropertyReply reply(xcb_get_property_reply(connection, cookie, &error));
    std::free(error);
    if (!reply || reply->type == XCB_ATOM_NONE)
        return nullptr;
    return reply;
}

PropertyReply property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                       uint32_t longLength)
{
    return reply(connection, request(connection, window, name, type, longLength));
}

QList<quint32> cardinals(const PropertyReply& reply)
{
    QList<quint32> values;
    if (!reply || reply->format != 32)
        return values;
    values.resize(xcb_get_property_value_length(reply.get()) / 4);
    if (!values.isEmpty())
        std::memcpy(values.data(), xcb_get_property_value(reply.get()), values.size() * sizeof(quint32));
    return values;
}

std::optional<quint32> cardinal(const PropertyReply& reply)
{
    const QList<quint32> values = cardinals(reply);
    return values.isEmpty() ? std::nullopt : std::optional<quint32>(values.first());
}

} // namespace

struct X11Workspace::WindowProperties {
    // Instance and class name, each NUL-terminated; null when the window has no WM_CLASS.
    QByteArray wmClass;
    std::optional<quint32> pid;
    // Absent when the window does not say, which EWMH reads as normal.
    std::optional<QList<quint32>> types;
};

X11Workspace::X11Workspace(xcb_connection_t* connection, DesktopEntryIndex index, QByteArray displayName)
    : DesktopWorkspace(std::move(index)), m_connection(connection), m_displayName(std::move(displayName))
{
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_activeWindowAtom = atom("_NET_ACTIVE_WINDOW");
    m_clientListAtom = atom("_NET_CLIENT_LIST");
    m_pidAtom = atom("_NET_WM_PID");
    m_windowTypeAtom = atom("_NET_WM_WINDOW_TYPE");
    m_normalTypeAtom = atom("_NET_WM_WINDOW_TYPE_NORMAL");
}

quint32 X11Workspace::atom(const char* name) const
{
    std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

QList<X11Workspace::WindowProperties> X11Workspace::properties(const QList<quint32>& windows) const
{
    struct Cookies {
        xcb_get_property_cookie_t wmClass, pid, types;
    };
    QList<Cookies> cookies;
    cookies.reserve(windows.size());
    for (const quint32 window : windows) {
        cookies.append({request(m_connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256),
                        request(m_connection, window, m_pidAtom, XCB_ATOM_CARDINAL, 1),
                        request(m_connection, window, m_windowTypeAtom, XCB_ATOM_ATOM, 32)});
    }
    QList<WindowProperties> result;
    result.reserve(windows.size());
    for (const Cookies& cookie : std::as_const(cookies)) {
        WindowProperties window;
        if (const PropertyReply classReply = reply(m_connection, cookie.wmClass)) {
            window.wmClass = QByteArray(static_cast<const char*>(xcb_get_property_value(classReply.get())),
                                        xcb_get_property_value_length(classReply.get()));
        }
        window.pid = cardinal(reply(m_connection, cookie.pid));
        if (const PropertyReply typeReply = reply(m_connection, cookie.types))
            window.types = cardinals(typeReply);
        result.append(std::move(window));
    }
    return result;
}

std::optional<RunningApplication> X11Workspace::describe(const WindowProperties& window) const
{
    if (window.wmClass.isNull() && !window.pid)
        return std::nullopt;

    RunningApplication application;
    application.processIdentifier = window.pid.value_or(0);
    // Docks, desktops, menus and the like are parts of the desktop, not applications.
    application.isRegular = !window.types || window.types->contains(m_normalTypeAtom);
    if (window.wmClass.isNull())
        return application;

    const QList<QByteArray> parts = window.wmClass.split('\0');
    const QString instance = QString::fromLocal8Bit(parts.value(0));
    const QString className = QString::fromLocal8Bit(parts.value(1));
    if (const std::optional<DesktopEntryIndex::Entry> entry = m_index.find(instance, className)) {
        application.localizedName = entry->nameFor(QLocale().name());
        application.bundleIdentifier = entry->id;
        application.bundleURL = entry->path;
        application.isRegular = application.isRegular && !entry->noDisplay;
    } else if (!className.isEmpty() || !instance.isEmpty()) {
        const QString name = className.isEmpty() ? instance : className;
        application.localizedName = name;
        application.bundleIdentifier = name;
    }
    return application;
}

std::optional<quint32> X11Workspace::activeWindow() const
{
    const std::optional<quint32> active =
        cardinal(property(m_connection, m_root, m_activeWindowAtom, XCB_ATOM_WINDOW, 1));
    return active && *active != XCB_WINDOW_NONE ? active : std::nullopt;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const
{
    const std::optional<quint32> active = activeWindow();
    if (!active)
        return std::nullopt;
    return describe(properties({*active}).first());
}

QStringList X11Workspace::frontmostWindowClasses() const
{
    const std::optional<quint32> active = activeWindow();
    if (!active)
        return {};
    QStringList classes;
    for (const QByteArray& part : properties({*active}).first().wmClass.split('\0')) {
        if (!part.isEmpty())
            classes << QString::fromLocal8Bit(part);
    }
    return classes;
}

X11Workspace::~X11Workspace() = default;

QList<RunningApplication> X11Workspace::runningApplications() const
{
    const QList<quint32> windows =
        cardinals(property(m_connection, m_root, m_clientListAtom, XCB_ATOM_WINDOW, 1 << 16));
    QList<RunningApplication> applications;
    // One application per desktop file; without one, per process and name.
    QHash<QString, qsizetype> byKey;
    for (const WindowProperties& window : properties(windows)) {
        const std::optional<RunningApplication> application = describe(window);
        if (!application)
            continue;
        const QString key =
            application->bundleURL.value_or(QString::number(application->processIdentifier) + u'\n' +
                                            application->bundleIdentifier.value_or(QString()));
        if (const auto known = byKey.constFind(key); known != byKey.cend()) {
            applications[*known].isRegular = applications[*known].isRegular || application->isRegular;
            continue;
        }
        byKey.insert(key, applications.size());
        applications.append(*application);
    }
    return applications;
}

std::optional<FocusedElement> X11Workspace::focusedElement(qint64 processIdentifier) const
{
    if (processIdentifier <= 0)
        return std::nullopt;
    const XcbReply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT)
        return std::nullopt;
    // Focus may sit on a child of the application's top-level window, which names the process.
    constexpr int maximumDepth = 8;
    xcb_window_t window = focus->focus;
    for (int depth = 0; depth < maximumDepth && window != XCB_WINDOW_NONE && window != m_root; ++depth) {
        const xcb_get_property_cookie_t pidCookie =
            request(m_connection, window, m_pidAtom, XCB_ATOM_CARDINAL, 1);
        const xcb_query_tree_cookie_t treeCookie = xcb_query_tree(m_connection, window);
        const std::optional<quint32> owner = cardinal(reply(m_connection, pidCookie));
        xcb_generic_error_t* error = nullptr;
        const XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_connection, treeCookie, &error));
        std::free(error);
        if (owner) {
            return *owner == processIdentifier ? std::optional<FocusedElement>(FocusedElement{focus->focus})
                                               : std::nullopt;
        }
        if (!tree)
            return std::nullopt;
        window = tree->parent;
    }
    return std::nullopt;
}

bool X11Workspace::isTerminated(const RunningApplication& application) const
{
    const qint64 pid = application.processIdentifier;
    // A window that names no process cannot say.
    if (pid <= 0)
        return false;
    if (pid > std::numeric_limits<pid_t>::max())
        return true;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return true;
    // Exited, but not yet reaped by its parent.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.read(4096);
    const qsizetype nameEnd = line.lastIndexOf(')');
    const char state = nameEnd >= 0 && nameEnd + 2 < line.size() ? line.at(nameEnd + 2) : '\0';
    return state == 'Z' || state == 'X';
}

void X11Workspace::observe(WorkspaceNotifications notifications)
{
    if (!observeSession(std::move(notifications))) {
        m_events.reset();
        return;
    }
    if (!m_events) {
        m_events =
            std::make_unique<X11WorkspaceEvents>(m_displayName, [this](X11WorkspaceEvents::Change change) {
                post(change == X11WorkspaceEvents::Change::activeWindow
                         ? &WorkspaceNotifications::applicationActivated
                         : &WorkspaceNotifications::spaceChanged);
            });
    }
}
