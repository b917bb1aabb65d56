#pragma once

#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QString>
#include <memory>

// The platform backends the services are built on.
struct PlatformServices {
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<Workspace> workspace;
};

struct PlatformResult {
    std::optional<PlatformServices> services;
    // Why the platform cannot be used, in words for the user.
    QString error;
};

// Builds the backend of the platform this build targets, on the running display.
PlatformResult createPlatformServices();
