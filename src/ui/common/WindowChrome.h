#pragma once

namespace WindowChrome {

// Whether the window manager draws each window's title bar with its title in it (X11). Where it does
// not (a full-size content view on macOS), our windows draw the title in a strip of their own.
bool windowManagerDrawsTitle();

} // namespace WindowChrome
