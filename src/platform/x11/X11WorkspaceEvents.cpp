#include "platform/x11/X11WorkspaceEvents.h"

#include "platform/x11/XcbPointers.h"

#include <QList>
#include <QSocketNotifier>
#include <cstring>
#include <utility>

namespace {

xcb_atom_t intern(xcb_connection_t* connection, const char* name)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_get_property_cookie_t request(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t name,
                                  xcb_atom_t type)
{
    return xcb_get_property(connection, 0, root, name, type, 0, 1);
}

// Absent or deleted reads as nothing.
std::optional<quint32> value(xcb_connection_t* connection, xcb_get_property_cookie_t cookie)
{
    xcb_generic_error_t* error = nullptr;
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, &error));
    std::free(error);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.value) < 4)
        return std::nullopt;
    quint32 result = 0;
    std::memcpy(&result, xcb_get_property_value(reply.value), sizeof result);
    return result;
}

} // namespace

X11WorkspaceEvents::X11WorkspaceEvents(const QByteArray& displayName, std::function<void(Change)> onChange)
    : m_onChange(std::move(onChange))
{
    int screenNumber = 0;
    m_connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(m_connection))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;
    m_activeWindowAtom = intern(m_connection, "_NET_ACTIVE_WINDOW");
    m_currentDesktopAtom = intern(m_connection, "_NET_CURRENT_DESKTOP");
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    // Read after selecting, so that no change falls between the two.
    const xcb_get_property_cookie_t active =
        request(m_connection, m_root, m_activeWindowAtom, XCB_ATOM_WINDOW);
    const xcb_get_property_cookie_t desktop =
        request(m_connection, m_root, m_currentDesktopAtom, XCB_ATOM_CARDINAL);
    m_activeWindow = value(m_connection, active);
    m_currentDesktop = value(m_connection, desktop);

    m_notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { readEvents(); });
    // Events may already wait in xcb's queue, read there with the replies above.
    readEvents();
}

X11WorkspaceEvents::~X11WorkspaceEvents()
{
    m_notifier.reset();
    xcb_disconnect(m_connection);
}

void X11WorkspaceEvents::readEvents()
{
    // Reading replies can queue further events without the socket becoming readable again.
    for (;;) {
        bool activeWindow = false;
        bool currentDesktop = false;
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
            const XcbEvent event(raw);
            if (event.type() != XCB_PROPERTY_NOTIFY)
                continue;
            const auto* notify = event.as<xcb_property_notify_event_t>();
            activeWindow = activeWindow || notify->atom == m_activeWindowAtom;
            currentDesktop = currentDesktop || notify->atom == m_currentDesktopAtom;
        }
        if (xcb_connection_has_error(m_connection)) {
            // The server went away; Qt's own connection reports that.
            m_notifier->setEnabled(false);
            return;
        }
        if (!activeWindow && !currentDesktop)
            return;
        compare(activeWindow, currentDesktop);
    }
}

void X11WorkspaceEvents::compare(bool activeWindow, bool currentDesktop)
{
    xcb_get_property_cookie_t active{}, desktop{};
    if (activeWindow)
        active = request(m_connection, m_root, m_activeWindowAtom, XCB_ATOM_WINDOW);
    if (currentDesktop)
        desktop = request(m_connection, m_root, m_currentDesktopAtom, XCB_ATOM_CARDINAL);
    QList<Change> changes;
    if (activeWindow) {
        const std::optional<quint32> now = value(m_connection, active);
        if (std::exchange(m_activeWindow, now) != now)
            changes.append(Change::activeWindow);
    }
    if (currentDesktop) {
        const std::optional<quint32> now = value(m_connection, desktop);
        if (std::exchange(m_currentDesktop, now) != now)
            changes.append(Change::currentDesktop);
    }
    for (const Change change : std::as_const(changes))
        m_onChange(change);
}
