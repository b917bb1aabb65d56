#pragma once

#include "platform/linux/DesktopWorkspace.h"

#include <QGuiApplication>
#include <QObject>
#include <memory>

class WaylandToplevels;

// The workspace as a wlroots-style compositor lists its windows (wlr foreign-toplevel management),
// with applications named by their desktop entries: a window's app id is its desktop-file id.
//
// The protocol names no process. A window of another application carries an identifier of its own
// as processIdentifier, unique per window and above every pid, so that a paste target stays one
// window; isTerminated is that window's closing. Windows whose app id is this application's own
// carry this process's pid, so that callers still recognise themselves.
class WaylandWorkspace final : public DesktopWorkspace {
public:
    // waylandDisplay as in WAYLAND_DISPLAY. Follows the windows from now on, on a connection of its own.
    explicit WaylandWorkspace(QByteArray waylandDisplay = qgetenv("WAYLAND_DISPLAY"),
                              DesktopEntryIndex index = DesktopEntryIndex(),
                              QString ownAppId = QGuiApplication::desktopFileName());
    ~WaylandWorkspace() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    QList<RunningApplication> runningApplications() const override;
    // Wayland tells no client where another one's keyboard focus is.
    std::optional<FocusedElement> focusedElement(qint64 processIdentifier) const override;
    bool isTerminated(const RunningApplication& application) const override;
    // The app id of the window in front.
    QStringList frontmostWindowClasses() const override;
    // Activation changes from the compositor; sleep and our session's lock from logind. Workspace
    // switches come only as the activation change they cause.
    void observe(WorkspaceNotifications notifications) override;

private:
    RunningApplication describe(qint64 identifier, const QString& appId) const;

    QString m_ownAppId;
    // Its thread posts until it is stopped, which happens before the base class goes.
    std::unique_ptr<WaylandToplevels> m_toplevels;
};
