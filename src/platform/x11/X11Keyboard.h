#pragma once

#include "models/PasteShortcut.h"

#include <QList>
#include <QtGlobal>
#include <array>
#include <optional>
#include <xcb/xcb.h>

// The keyboard as the chord sees it: which keys type v, z and Escape in the current layout, and
// which modifier bits Super, Alt and Num Lock sit on, read from the server rather than assumed.
struct X11Keyboard {
    // Nothing when the server has no keyboard extension.
    static std::optional<X11Keyboard> read(xcb_connection_t* connection);

    // Key codes the monitor speaks for the X key codes; other keys get codes above 255.
    quint16 tapKeyCode(xcb_keycode_t key) const;
    // Core modifier state in the monitor's flag bits.
    quint64 flags(uint16_t state) const;
    bool isModifier(xcb_keycode_t key) const { return modifierBits[key] != 0; }
    // The keys of the shortcut in the order they go down, modifiers first; empty when one is missing.
    QList<xcb_keycode_t> keysOf(PasteShortcut shortcut) const;

    xcb_keycode_t forwardKey = 0;
    xcb_keycode_t reverseKey = 0;
    xcb_keycode_t escapeKey = 0;
    xcb_keycode_t controlKey = 0;
    xcb_keycode_t shiftKey = 0;
    xcb_keycode_t insertKey = 0;
    uint16_t superMask = 0;
    uint16_t altMask = 0;
    uint16_t numLockMask = 0;
    // The modifier bits each key sets.
    std::array<uint8_t, 256> modifierBits{};
};
