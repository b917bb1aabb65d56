#pragma once

#include "platform/PlatformServices.h"

#include <QByteArray>

class QuickPasteSeat;

// The Wayland backend on connections of its own to the compositor of WAYLAND_DISPLAY (a name in
// XDG_RUNTIME_DIR or an absolute path). Nothing of X11 is opened. seat: quick paste's connection,
// owned by the caller and outliving the services; without one quick paste is unavailable.
PlatformResult createWaylandPlatformServices(const QByteArray& waylandDisplay,
                                             QuickPasteSeat* seat = nullptr);
