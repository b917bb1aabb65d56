#include "platform/wayland/WaylandPlatformServices.h"

#include "models/QuickPasteLog.h"
#include "platform/wayland/SwayIpcConnection.h"
#include "platform/wayland/WaylandAccessibility.h"
#include "platform/wayland/WaylandEventTap.h"
#include "platform/wayland/WaylandKeystrokePoster.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/wayland/WaylandQuickPasteSeat.h"
#include "platform/wayland/WaylandWorkspace.h"

PlatformResult createWaylandPlatformServices(const QByteArray& waylandDisplay)
{
    auto pasteboard = std::make_unique<WaylandPasteboard>(waylandDisplay);
    if (!pasteboard->isValid())
        return {std::nullopt, pasteboard->errorString()};
    PlatformServices services;
    QString reason;
    std::shared_ptr<WaylandQuickPasteSeat> quickPasteSeat =
        WaylandQuickPasteSeat::create(waylandDisplay, &reason);
    if (!quickPasteSeat)
        qCInfo(lcQuickPaste).noquote() << "Quick paste has no connection of its own:" << reason;
    QuickPasteSeat* seat = quickPasteSeat.get();
    services.popupSurface = std::move(quickPasteSeat);
    services.pasteboard = std::move(pasteboard);
    services.workspace = std::make_unique<WaylandWorkspace>(waylandDisplay);
    services.eventTap = std::make_shared<WaylandEventTap>(seat, SwayIpcConnection::socketPath(),
                                                          qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    services.keystrokePoster = std::make_unique<WaylandKeystrokePoster>(seat);
    services.accessibility = std::make_unique<WaylandAccessibility>(seat);
    return {std::move(services), QString()};
}
