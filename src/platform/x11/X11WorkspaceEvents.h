#pragma once

#include <QByteArray>
#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;
struct xcb_connection_t;

// Follows the root window's active window and current desktop on a connection of its own, so that
// selecting property changes there leaves Qt's own event mask on the root alone.
class X11WorkspaceEvents {
public:
    enum class Change { activeWindow, currentDesktop };

    // Without a display, reports nothing. onChange must not destroy this object.
    X11WorkspaceEvents(const QByteArray& displayName, std::function<void(Change)> onChange);
    ~X11WorkspaceEvents();
    X11WorkspaceEvents(const X11WorkspaceEvents&) = delete;
    X11WorkspaceEvents& operator=(const X11WorkspaceEvents&) = delete;

private:
    void readEvents();
    // Reads the flagged properties again and reports those whose value really changed.
    void compare(bool activeWindow, bool currentDesktop);

    std::function<void(Change)> m_onChange;
    xcb_connection_t* m_connection = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    quint32 m_root = 0;
    quint32 m_activeWindowAtom = 0;
    quint32 m_currentDesktopAtom = 0;
    std::optional<quint32> m_activeWindow;
    std::optional<quint32> m_currentDesktop;
};
