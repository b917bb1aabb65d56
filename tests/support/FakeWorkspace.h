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
};
