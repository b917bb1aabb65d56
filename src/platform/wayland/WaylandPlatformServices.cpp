#include "platform/wayland/WaylandPlatformServices.h"

#include "platform/wayland/SwayIpcConnection.h"
#include "platform/wayland/WaylandAccessibility.h"
#include "platform/wayland/WaylandEventTap.h"
#include "platform/wayland/WaylandKeystrokePoster.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/wayland/WaylandWorkspace.h"

PlatformResult createWaylandPlatformServices(const QByteArray& waylandDisplay, QuickPasteSeat* seat)
{
    auto pasteboard = std::make_unique<WaylandPasteboard>(waylandDisplay);
    if (!pasteboard->isValid())
        return {std::nullopt, pasteboard->errorString()};
    PlatformServices services;
    services.pasteboard = std::move(pasteboard);
    services.workspace = std::make_unique<WaylandWorkspace>(waylandDisplay);
    services.eventTap = std::make_shared<WaylandEventTap>(seat, SwayIpcConnection::socketPath(),
                                                          qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    services.keystrokePoster = std::make_unique<WaylandKeystrokePoster>(seat);
    services.accessibility = std::make_unique<WaylandAccessibility>(seat);
    return {std::move(services), QString()};
}
