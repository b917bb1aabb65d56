#include "platform/wayland/WaylandPlatformServices.h"

#include "platform/wayland/WaylandInput.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/wayland/WaylandWorkspace.h"

PlatformResult createWaylandPlatformServices(const QByteArray& waylandDisplay)
{
    auto pasteboard = std::make_unique<WaylandPasteboard>(waylandDisplay);
    if (!pasteboard->isValid())
        return {std::nullopt, pasteboard->errorString()};
    PlatformServices services;
    services.pasteboard = std::move(pasteboard);
    services.workspace = std::make_unique<WaylandWorkspace>(waylandDisplay);
    services.eventTap = std::make_shared<WaylandEventTap>();
    services.keystrokePoster = std::make_unique<WaylandKeystrokePoster>();
    services.accessibility = std::make_unique<WaylandAccessibility>();
    return {std::move(services), QString()};
}
