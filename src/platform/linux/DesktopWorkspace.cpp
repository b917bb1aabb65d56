#include "platform/linux/DesktopWorkspace.h"

#include "platform/linux/LogindEvents.h"

DesktopWorkspace::DesktopWorkspace(DesktopEntryIndex index) : m_index(std::move(index)) {}

DesktopWorkspace::~DesktopWorkspace() = default;

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

bool DesktopWorkspace::observeSession(WorkspaceNotifications notifications)
{
    m_notifications = std::move(notifications);
    const WorkspaceNotifications& n = m_notifications;
    if (!n.applicationActivated && !n.spaceChanged && !n.willSleep && !n.sessionResigned) {
        m_logind.reset();
        return false;
    }
    if (!m_logind) {
        m_logind = std::make_unique<LogindEvents>([this] { post(&WorkspaceNotifications::willSleep); },
                                                  [this] { post(&WorkspaceNotifications::sessionResigned); });
    }
    return true;
}

void DesktopWorkspace::post(std::function<void()> WorkspaceNotifications::*notification)
{
    QMetaObject::invokeMethod(
        m_postContext.get(),
        [this, notification] {
            // A copy: the callback may replace the notifications.
            if (const std::function<void()> callback = m_notifications.*notification)
                callback();
        },
        Qt::QueuedConnection);
}
