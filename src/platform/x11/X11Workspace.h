#pragma once

#include "platform/Workspace.h"
#include "platform/x11/DesktopEntryIndex.h"

struct xcb_connection_t;

// The workspace as the window manager describes it through EWMH properties, with applications
// named by their desktop entries.
class X11Workspace final : public Workspace {
public:
    // connection is borrowed and must outlive the workspace (normally Qt's own).
    X11Workspace(xcb_connection_t* connection, DesktopEntryIndex index = DesktopEntryIndex());

    std::optional<RunningApplication> frontmostApplication() const override;
    std::optional<QString> applicationURL(const QString& bundleIdentifier) const override;
    QList<RunningApplication> runningApplications() const override;
    QStringList installedApplicationURLs(const QString& name) const override;
    QIcon applicationIcon(const QString& applicationURL) const override;

private:
    struct WindowProperties;

    quint32 atom(const char* name) const;
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
    mutable DesktopEntryIndex m_index;
};
