#pragma once

#include "platform/Workspace.h"
#include "platform/linux/DesktopEntryIndex.h"

#include <QObject>
#include <memory>

class LogindEvents;

// What every Linux workspace answers from the installed desktop entries (where an application's
// entry lies, which entries carry a name, and their icons) and learns from logind (sleep and lock).
class DesktopWorkspace : public Workspace {
public:
    explicit DesktopWorkspace(DesktopEntryIndex index);
    ~DesktopWorkspace() override;

    std::optional<QString> applicationURL(const QString& bundleIdentifier) const override;
    QStringList installedApplicationURLs(const QString& name) const override;
    QIcon applicationIcon(const QString& applicationURL) const override;

protected:
    // Keeps the callbacks, and follows logind while any is set; false when none is.
    bool observeSession(WorkspaceNotifications notifications);
    // Later, from the event loop, so that a callback may stop or replace the observation. Any thread.
    void post(std::function<void()> WorkspaceNotifications::*notification);

    mutable DesktopEntryIndex m_index;

private:
    WorkspaceNotifications m_notifications;
    std::unique_ptr<QObject> m_postContext = std::make_unique<QObject>();
    std::unique_ptr<LogindEvents> m_logind;
};
