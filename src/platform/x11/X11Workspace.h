#pragma once

#include "platform/linux/DesktopWorkspace.h"

#include <QObject>
#include <memory>

class X11WorkspaceEvents;
struct xcb_connection_t;

// The workspace as the window manager describes it through EWMH properties, with applications
// named by their desktop entries.
class X11Workspace final : public DesktopWorkspace {
public:
    // connection is borrowed and must outlive the workspace (normally Qt's own). Notifications come
    // through a connection of its own to displayName.
    X11Workspace(xcb_connection_t* connection, DesktopEntryIndex index = DesktopEntryIndex(),
                 QByteArray displayName = qgetenv("DISPLAY"));
    ~X11Workspace() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    QList<RunningApplication> runningApplications() const override;
    // The X input-focus window, when it or the nearest ancestor that names a process names this one.
    std::optional<FocusedElement> focusedElement(qint64 processIdentifier) const override;
    bool isTerminated(const RunningApplication& application) const override;
    QStringList frontmostWindowClasses() const override;
    // The active window and the current desktop from the root window; sleep and our session's lock
    // from logind.
    void observe(WorkspaceNotifications notifications) override;

private:
    struct WindowProperties;

    quint32 atom(const char* name) const;
    // The window the window manager calls active; nothing when there is none.
    std::optional<quint32> activeWindow() const;
    // One batch of requests for all windows, so a long client list costs one round trip.
    QList<WindowProperties> properties(const QList<quint32>& windows) const;
    std::optional<RunningApplication> describe(const WindowProperties& window) const;

    xcb_connection_t* m_connection;
    quint32 m_root = 0;
    quint32 m_activeWindowAtom = 0;
    quint32 m_clientListAtom = 0;
    quint32 m_pidAtom = 0;
    quint32 m_windowTypeAtom = 0;
    quint32 m_normalTypeAtom = 0;
    QByteArray m_displayName;
    std::unique_ptr<X11WorkspaceEvents> m_events;
};
