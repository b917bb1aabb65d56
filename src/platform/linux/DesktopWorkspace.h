#pragma once

#include "platform/Workspace.h"
#include "platform/linux/DesktopEntryIndex.h"

// What every Linux workspace answers from the installed desktop entries: where an application's
// entry lies, which entries carry a name, and their icons.
class DesktopWorkspace : public Workspace {
public:
    explicit DesktopWorkspace(DesktopEntryIndex index) : m_index(std::move(index)) {}

    std::optional<QString> applicationURL(const QString& bundleIdentifier) const override;
    QStringList installedApplicationURLs(const QString& name) const override;
    QIcon applicationIcon(const QString& applicationURL) const override;

protected:
    mutable DesktopEntryIndex m_index;
};
