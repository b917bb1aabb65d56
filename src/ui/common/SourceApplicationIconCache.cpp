#include "ui/common/SourceApplicationIconCache.h"

#include "models/ClipboardEntry.h"
#include "platform/Workspace.h"

#include <QSet>

namespace {

SourceApplicationIconCache* sharedCache = nullptr;

// What the capture records when it could not name the application; many unrelated ones share it.
constexpr QStringView unknownApplicationName = u"其他应用";

} // namespace

SourceApplicationIdentity SourceApplicationIdentity::of(const ClipboardEntry& entry)
{
    return {entry.sourceBundleIdentifier, entry.sourceName};
}

size_t qHash(const SourceApplicationIdentity& identity, size_t seed) noexcept
{
    return qHashMulti(seed, identity.bundleIdentifier.has_value(),
                      identity.bundleIdentifier.value_or(QString()), identity.name);
}

SourceApplicationIconCache::SourceApplicationIconCache(const Workspace& workspace) : m_workspace(workspace) {}

SourceApplicationIconCache* SourceApplicationIconCache::shared()
{
    return sharedCache;
}

void SourceApplicationIconCache::setShared(SourceApplicationIconCache* cache)
{
    sharedCache = cache;
}

std::optional<QString>
SourceApplicationIconCache::applicationURL(const SourceApplicationIdentity& identity) const
{
    if (identity.bundleIdentifier && !identity.bundleIdentifier->isEmpty()) {
        if (std::optional<QString> url = m_workspace.applicationURL(*identity.bundleIdentifier))
            return url;
    }
    const QString& name = identity.name;
    if (name.isEmpty() || name == unknownApplicationName || name.contains(u'/'))
        return std::nullopt;

    QSet<QString> running;
    for (const RunningApplication& application : m_workspace.runningApplications()) {
        if (application.isRegular && application.localizedName == name && application.bundleURL)
            running.insert(*application.bundleURL);
    }
    if (running.size() == 1)
        return *running.cbegin();
    if (running.size() > 1)
        return std::nullopt;

    const QStringList installed = m_workspace.installedApplicationURLs(name);
    if (installed.size() == 1)
        return installed.first();
    return std::nullopt;
}

std::optional<QIcon> SourceApplicationIconCache::icon(const SourceApplicationIdentity& identity)
{
    const std::optional<QString> url = applicationURL(identity);
    if (!url)
        return std::nullopt;
    QIcon icon;
    if (const QIcon* cached = m_icons.object(*url)) {
        icon = *cached;
    } else {
        icon = m_workspace.applicationIcon(*url);
        m_icons.insert(*url, new QIcon(icon));
    }
    if (icon.isNull())
        return std::nullopt;
    return icon;
}
