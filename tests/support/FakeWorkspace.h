#pragma once

#include "platform/Workspace.h"

#include <QHash>

// A workspace whose applications tests set directly; it counts the lookups that cost time for real.
class FakeWorkspace final : public Workspace {
public:
    std::optional<RunningApplication> frontmost;
    // Bundle identifier → application URL.
    QHash<QString, QString> installedByIdentifier;
    QList<RunningApplication> running;
    // Name → the installed applications of that name.
    QHash<QString, QStringList> installedByName;
    // Application URL → its icon; others have none.
    QHash<QString, QIcon> icons;

    // Process identifier → its focused element; none for the others.
    QHash<qint64, FocusedElement> focused;
    QList<qint64> terminated;
    QStringList windowClasses;
    WorkspaceNotifications notifications;

    mutable int runningApplicationScans = 0;
    mutable int folderProbes = 0;
    mutable int iconLoads = 0;

    std::optional<RunningApplication> frontmostApplication() const override { return frontmost; }

    std::optional<QString> applicationURL(const QString& bundleIdentifier) const override
    {
        const auto found = installedByIdentifier.constFind(bundleIdentifier);
        return found == installedByIdentifier.cend() ? std::nullopt : std::optional<QString>(*found);
    }

    QList<RunningApplication> runningApplications() const override
    {
        return ++runningApplicationScans, running;
    }

    QStringList installedApplicationURLs(const QString& name) const override
    {
        ++folderProbes;
        return installedByName.value(name);
    }

    QIcon applicationIcon(const QString& applicationURL) const override
    {
        ++iconLoads;
        return icons.value(applicationURL);
    }

    std::optional<FocusedElement> focusedElement(qint64 processIdentifier) const override
    {
        const auto found = focused.constFind(processIdentifier);
        return found == focused.cend() ? std::nullopt : std::optional<FocusedElement>(*found);
    }

    bool isTerminated(const RunningApplication& application) const override
    {
        return terminated.contains(application.processIdentifier);
    }

    QStringList frontmostWindowClasses() const override { return windowClasses; }

    // Tests fire a notification by calling the observed callback, e.g. notifications.willSleep().
    void observe(WorkspaceNotifications observed) override { notifications = std::move(observed); }
};
