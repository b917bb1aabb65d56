#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct RunningApplication {
    std::optional<QString> localizedName;
    // On Linux the freedesktop desktop-file id.
    std::optional<QString> bundleIdentifier;
    qint64 processIdentifier = 0;
    // Shown to the user as an application in its own right: on Linux it has a normal top-level window
    // and its desktop entry, if any, is not NoDisplay.
    bool isRegular = false;
    // On Linux the desktop file's path.
    std::optional<QString> bundleURL = std::nullopt;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// The element that has keyboard focus in an application, comparable across reads (on X11: the
// input-focus window).
struct FocusedElement {
    quint64 handle = 0;

    friend bool operator==(const FocusedElement&, const FocusedElement&) = default;
};

// Changes in the workspace that make a paste in flight go astray.
struct WorkspaceNotifications {
    std::function<void()> applicationActivated;
    std::function<void()> spaceChanged;
    std::function<void()> willSleep;
    std::function<void()> sessionResigned;
};

class Workspace {
public:
    virtual ~Workspace() = default;

    virtual std::optional<RunningApplication> frontmostApplication() const = 0;

    // The installed application with that identifier (on Linux: the desktop file for a desktop-file id).
    virtual std::optional<QString> applicationURL(const QString& bundleIdentifier) const = 0;
    // One element per application, however many windows or processes it has.
    virtual QList<RunningApplication> runningApplications() const = 0;
    // Every installed application called `name`, in any of its localised names (on Linux: the desktop
    // entries in the XDG application folders). Callers decide what an ambiguous answer means.
    virtual QStringList installedApplicationURLs(const QString& name) const = 0;
    // The application's own icon in its own colours; null when it has none.
    virtual QIcon applicationIcon(const QString& applicationURL) const = 0;

    // The focused element of that process's application; nothing when it cannot be told or focus is
    // elsewhere. Bounded: never waits on another application.
    virtual std::optional<FocusedElement> focusedElement(qint64 processIdentifier) const = 0;
    // The application's process has exited.
    virtual bool isTerminated(const RunningApplication& application) const = 0;
    // The class names of the window in front (on X11 WM_CLASS's instance and class), which tell how
    // it pastes; empty when there is none or the system names none.
    virtual QStringList frontmostWindowClasses() const { return {}; }
    // Callbacks run on the GUI thread. Observing again replaces them; empty callbacks stop observing.
    // Notifications the system cannot give are simply never sent.
    virtual void observe(WorkspaceNotifications notifications) = 0;
};
