#include "platform/linux/DesktopWorkspace.h"

std::optional<QString> DesktopWorkspace::applicationURL(const QString& bundleIdentifier) const
{
    if (const std::optional<DesktopEntryIndex::Entry> entry = m_index.entry(bundleIdentifier))
        return entry->path;
    return std::nullopt;
}

QStringList DesktopWorkspace::installedApplicationURLs(const QString& name) const
{
    QStringList urls;
    // Helpers and handlers kept out of menus would make ordinary names ambiguous.
    for (const DesktopEntryIndex::Entry& entry : m_index.named(name)) {
        if (!entry.noDisplay)
            urls.append(entry.path);
    }
    return urls;
}

QIcon DesktopWorkspace::applicationIcon(const QString& applicationURL) const
{
    return DesktopEntryIndex::icon(applicationURL);
}
