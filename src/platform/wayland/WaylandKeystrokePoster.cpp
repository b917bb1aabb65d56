#include "platform/wayland/WaylandKeystrokePoster.h"

#include "platform/wayland/QuickPasteSeat.h"

std::unique_ptr<KeystrokePoster::Keystroke> WaylandKeystrokePoster::create(PasteShortcut shortcut)
{
    return m_seat ? m_seat->createKeystroke(shortcut) : nullptr;
}
