#pragma once

#include "platform/Workspace.h"
#include "platform/x11/DesktopEntryIndex.h"

struct xcb_connection_t;

// The workspace as the window manager describes it through EWMH properties.
class X11Workspace final : public Workspace {
public:
    // connection is borrowed and must outlive the workspace (normally Qt's own).
    X11Workspace(xcb_connection_t* connection, DesktopEntryIndex index = DesktopEntryIndex());

    std::optional<RunningApplication> frontmostApplication() const override;

private:
    quint32 atom(const char* name) const;

    xcb_connection_t* m_connection;
    quint32 m_root = 0;
    quint32 m_activeWindowAtom = 0;
    quint32 m_pidAtom = 0;
    mutable DesktopEntryIndex m_index;
};
