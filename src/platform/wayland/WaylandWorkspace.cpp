#include "platform/wayland/WaylandWorkspace.h"

#include "platform/wayland/WaylandToplevels.h"

#include <QCoreApplication>
#include <QHash>
#include <QLocale>

namespace {

// Some toolkits send the desktop file's name rather than its id.
QString withoutSuffix(QString appId)
{
    if (appId.endsWith(QLatin1StringView(".desktop")))
        appId.chop(8);
    return appId;
}

} // namespace

WaylandWorkspace::WaylandWorkspace(QByteArray waylandDisplay, DesktopEntryIndex index, QString ownAppId)
    : DesktopWorkspace(std::move(index)), m_ownAppId(withoutSuffix(std::move(ownAppId)))
{
    m_toplevels = std::make_unique<WaylandToplevels>(
        std::move(waylandDisplay), [this] { post(&WorkspaceNotifications::applicationActivated); });
}

WaylandWorkspace::~WaylandWorkspace()
{
    m_toplevels.reset();
}

RunningApplication WaylandWorkspace::describe(qint64 identifier, const QString& appId) const
{
    RunningApplication application;
    const QString id = withoutSuffix(appId);
    application.processIdentifier =
        !id.isEmpty() && id == m_ownAppId ? QCoreApplication::applicationPid() : identifier;
    application.isRegular = true;
    if (id.isEmpty())
        return application;
    if (const std::optional<DesktopEntryIndex::Entry> entry = m_index.find(id, id)) {
        application.localizedName = entry->nameFor(QLocale().name());
        application.bundleIdentifier = entry->id;
        application.bundleURL = entry->path;
        application.isRegular = !entry->noDisplay;
    } else {
        application.localizedName = id;
        application.bundleIdentifier = id;
    }
    return application;
}

std::optional<RunningApplication> WaylandWorkspace::frontmostApplication() const
{
    const std::optional<WaylandToplevels::Toplevel> active = m_toplevels->activated();
    if (!active)
        return std::nullopt;
    return describe(active->identifier, active->appId);
}

QStringList WaylandWorkspace::frontmostWindowClasses() const
{
    const std::optional<WaylandToplevels::Toplevel> active = m_toplevels->activated();
    if (!active || active->appId.isEmpty())
        return {};
    return {active->appId};
}

QList<RunningApplication> WaylandWorkspace::runningApplications() const
{
    QList<RunningApplication> applications;
    // One application per desktop file, else per app id; a window without one stands alone.
    QHash<QString, qsizetype> byKey;
    for (const WaylandToplevels::Toplevel& toplevel : m_toplevels->toplevels()) {
        const RunningApplication application = describe(toplevel.identifier, toplevel.appId);
        const QString key = application.bundleURL.value_or(
            application.bundleIdentifier.value_or(QString::number(application.processIdentifier)));
        if (const auto known = byKey.constFind(key); known != byKey.cend()) {
            applications[*known].isRegular = applications[*known].isRegular || application.isRegular;
            continue;
        }
        byKey.insert(key, applications.size());
        applications.append(application);
    }
    return applications;
}

std::optional<FocusedElement> WaylandWorkspace::focusedElement(qint64) const
{
    return std::nullopt;
}

bool WaylandWorkspace::isTerminated(const RunningApplication& application) const
{
    // Our own windows, and identifiers not ours, cannot say.
    return m_toplevels->isClosed(application.processIdentifier);
}

void WaylandWorkspace::observe(WorkspaceNotifications notifications)
{
    observeSession(std::move(notifications));
}
