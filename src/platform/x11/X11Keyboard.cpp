#include "platform/x11/X11Keyboard.h"

#include "platform/TapEvent.h"
#include "platform/x11/XcbPointers.h"

#include <memory>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>

namespace {

struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};

bool typesAt(xkb_keymap* keymap, xkb_keycode_t key, xkb_layout_index_t layout, xkb_keysym_t wanted)
{
    if (layout >= xkb_keymap_num_layouts_for_key(keymap, key))
        return false;
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, 0, &symbols);
    for (int i = 0; i < count; ++i) {
        if (symbols[i] == wanted)
            return true;
    }
    return false;
}

// The key that types the symbol in the current layout, else in the first one.
xcb_keycode_t keyTyping(xkb_keymap* keymap, xkb_layout_index_t layout, xkb_keysym_t wanted)
{
    for (const xkb_layout_index_t tried : {layout, xkb_layout_index_t(0)}) {
        for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap);
             key <= xkb_keymap_max_keycode(keymap) && key < 256; ++key) {
            if (typesAt(keymap, key, tried, wanted))
                return xcb_keycode_t(key);
        }
    }
    return 0;
}

} // namespace

std::optional<X11Keyboard> X11Keyboard::read(xcb_connection_t* connection)
{
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr,
                                     nullptr))
        return std::nullopt;
    const int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device < 0)
        return std::nullopt;
    const std::unique_ptr<xkb_context, KeymapDeleter> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context)
        return std::nullopt;
    const std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        xkb_x11_keymap_new_from_device(context.get(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return std::nullopt;
    const std::unique_ptr<xkb_state, KeymapDeleter> state(
        xkb_x11_state_new_from_device(keymap.get(), connection, device));
    const xkb_layout_index_t layout =
        state ? xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) : 0;

    X11Keyboard keyboard;
    keyboard.forwardKey = keyTyping(keymap.get(), layout, XKB_KEY_v);
    keyboard.reverseKey = keyTyping(keymap.get(), layout, XKB_KEY_z);
    keyboard.escapeKey = keyTyping(keymap.get(), layout, XKB_KEY_Escape);
    keyboard.controlKey = keyTyping(keymap.get(), 0, XKB_KEY_Control_L);
    keyboard.shiftKey = keyTyping(keymap.get(), 0, XKB_KEY_Shift_L);
    keyboard.insertKey = keyTyping(keymap.get(), 0, XKB_KEY_Insert);

    const XcbReply<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!modifiers)
        return std::nullopt;
    const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(modifiers.value);
    const int perModifier = modifiers->keycodes_per_modifier;
    for (int bit = 0; bit < 8; ++bit) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t key = keys[bit * perModifier + i];
            if (key == 0)
                continue;
            keyboard.modifierBits[key] |= uint8_t(1u << bit);
            // Shift, Lock and Control have bits of their own; the others say what they are by their keys.
            if (bit < 3)
                continue;
            const auto has = [&](xkb_keysym_t symbol) { return typesAt(keymap.get(), key, 0, symbol); };
            if (has(XKB_KEY_Super_L) || has(XKB_KEY_Super_R))
                keyboard.superMask |= uint16_t(1u << bit);
            if (has(XKB_KEY_Alt_L) || has(XKB_KEY_Alt_R) || has(XKB_KEY_Meta_L) || has(XKB_KEY_Meta_R))
                keyboard.altMask |= uint16_t(1u << bit);
            if (has(XKB_KEY_Num_Lock))
                keyboard.numLockMask |= uint16_t(1u << bit);
        }
    }
    return keyboard;
}

QList<xcb_keycode_t> X11Keyboard::keysOf(PasteShortcut shortcut) const
{
    QList<xcb_keycode_t> keys;
    switch (shortcut) {
    case PasteShortcut::controlV:
        keys = {controlKey, forwardKey};
        break;
    case PasteShortcut::controlShiftV:
        keys = {controlKey, shiftKey, forwardKey};
        break;
    case PasteShortcut::shiftInsert:
        keys = {shiftKey, insertKey};
        break;
    }
    return keys.contains(0) ? QList<xcb_keycode_t>() : keys;
}

quint16 X11Keyboard::tapKeyCode(xcb_keycode_t key) const
{
    if (key == forwardKey)
        return TapEvent::keyV;
    if (key == reverseKey)
        return TapEvent::keyZ;
    if (key == escapeKey)
        return TapEvent::keyEscape;
    return quint16(256 + key);
}

quint64 X11Keyboard::flags(uint16_t state) const
{
    quint64 flags = 0;
    if (state & XCB_MOD_MASK_SHIFT)
        flags |= TapEvent::shiftFlag;
    if (state & XCB_MOD_MASK_LOCK)
        flags |= TapEvent::capsLockFlag;
    if (state & XCB_MOD_MASK_CONTROL)
        flags |= TapEvent::controlFlag;
    if (superMask && (state & superMask))
        flags |= TapEvent::commandFlag;
    if (altMask && (state & altMask))
        flags |= TapEvent::optionFlag;
    return flags;
}
