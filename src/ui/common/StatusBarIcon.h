#pragma once

#include <QIcon>
#include <QImage>

// Clipwell's symbol as the panel shows it. The panel's colours are the desktop's, not the app's
// theme, so the symbol is light with a dark outline and stands out on light and dark panels alike;
// while recording is paused it carries a pause badge.
namespace StatusBarIcon {

// A square of `size` logical pixels at the device pixel ratio.
QImage image(int size, qreal devicePixelRatio, bool paused);
// The sizes panels ask for, sharp at scale 1 and 2.
QIcon icon(bool paused);

} // namespace StatusBarIcon
