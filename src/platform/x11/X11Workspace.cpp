#include "platform/x11/X11Workspace.h"

#include <QLocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeDeleter>;

// An error (a window that has gone away, say) gives no reply rather than a crash.
PropertyReply property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                       uint32_t longLength)
{
    xcb_generic_error_t* error = nullptr;
    PropertyReply reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, name, type, 0, longLength), &error));
    std::free(error);
    if (!reply || reply->type == XCB_ATOM_NONE)
        return nullptr;
    return reply;
}

std::optional<quint32> cardinal(const PropertyReply& reply)
{
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    quint32 value = 0;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

} // namespace

X11Workspace::X11Workspace(xcb_connection_t* connection, DesktopEntryIndex index)
    : m_connection(connection), m_index(std::move(index))
{
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_activeWindowAtom = atom("_NET_ACTIVE_WINDOW");
    m_pidAtom = atom("_NET_WM_PID");
}

quint32 X11Workspace::atom(const char* name) const
{
    std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const
{
    const std::optional<quint32> active =
        cardinal(property(m_connection, m_root, m_activeWindowAtom, XCB_ATOM_WINDOW, 1));
    if (!active || *active == XCB_WINDOW_NONE)
        return std::nullopt;

    const PropertyReply classReply = property(m_connection, *active, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256);
    const PropertyReply pidReply = property(m_connection, *active, m_pidAtom, XCB_ATOM_CARDINAL, 1);
    if (!classReply && !pidReply)
        return std::nullopt;

    RunningApplication application;
    application.processIdentifier = cardinal(pidReply).value_or(0);
    if (!classReply)
        return application;

    // WM_CLASS holds the instance and the class name, each NUL-terminated.
    const QByteArray value(static_cast<const char*>(xcb_get_property_value(classReply.get())),
                           xcb_get_property_value_length(classReply.get()));
    const QList<QByteArray> parts = value.split('\0');
    const QString instance = QString::fromLocal8Bit(parts.value(0));
    const QString className = QString::fromLocal8Bit(parts.value(1));
    if (const std::optional<DesktopEntryIndex::Entry> entry = m_index.find(instance, className)) {
        application.localizedName = entry->nameFor(QLocale().name());
        application.bundleIdentifier = entry->id;
    } else if (!className.isEmpty() || !instance.isEmpty()) {
        const QString name = className.isEmpty() ? instance : className;
        application.localizedName = name;
        application.bundleIdentifier = name;
    }
    return application;
}
