#pragma once

#include "platform/PlatformServices.h"

// The X11 backend on the display Qt's xcb platform opened (XWayland included).
PlatformResult createX11PlatformServices();
