#pragma once

#include "platform/PlatformServices.h"

#include <QByteArray>

// The Wayland backend on connections of its own to the compositor of WAYLAND_DISPLAY (a name in
// XDG_RUNTIME_DIR or an absolute path). Nothing of X11 is opened. Quick paste has a connection of its
// own too; where it cannot be made, quick paste is unavailable and the rest works.
PlatformResult createWaylandPlatformServices(const QByteArray& waylandDisplay);
