#pragma once

#include "platform/Accessibility.h"
#include "platform/EventTap.h"
#include "platform/KeystrokePoster.h"
#include "platform/Pasteboard.h"
#include "platform/PopupSurface.h"
#include "platform/Workspace.h"

#include <QString>
#include <memory>
#include <optional>

// The platform backends the services are built on.
struct PlatformServices {
    // Where Clipwell draws the quick paste popup itself (Wayland's layer shell); none where the popup is
    // a window of its own. First, so that it goes last: the input services below use it.
    std::shared_ptr<PopupSurface> popupSurface;
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<Workspace> workspace;
    // Shared with the keystroke poster and the trust check where the platform needs that.
    std::shared_ptr<EventTap> eventTap;
    std::unique_ptr<KeystrokePoster> keystrokePoster;
    std::unique_ptr<Accessibility> accessibility;
};

struct PlatformResult {
    std::optional<PlatformServices> services;
    // Why the platform cannot be used, in words for the user.
    QString error;
};

// Each backend has a factory of its own (createX11PlatformServices, createWaylandPlatformServices);
// the shell chooses one at start.
