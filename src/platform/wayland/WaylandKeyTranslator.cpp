#include "platform/wayland/WaylandKeyTranslator.h"

#include <algorithm>
#include <xkbcommon/xkbcommon.h>

namespace {

constexpr std::array<quint64, 4> tapFlags{TapEvent::shiftFlag, TapEvent::controlFlag, TapEvent::optionFlag,
                                          TapEvent::commandFlag};

constexpr std::array<const char*, 4> modifierNames{XKB_MOD_NAME_SHIFT, XKB_MOD_NAME_CTRL, XKB_MOD_NAME_ALT,
                                                   XKB_MOD_NAME_LOGO};
// The keys that hold each modifier, wherever the keymap put it (Super on Mod3, say).
constexpr std::array<std::array<xkb_keysym_t, 4>, 4> modifierKeys{{
    {XKB_KEY_Shift_L, XKB_KEY_Shift_R, XKB_KEY_Shift_L, XKB_KEY_Shift_R},
    {XKB_KEY_Control_L, XKB_KEY_Control_R, XKB_KEY_Control_L, XKB_KEY_Control_R},
    {XKB_KEY_Alt_L, XKB_KEY_Alt_R, XKB_KEY_Meta_L, XKB_KEY_Meta_R},
    {XKB_KEY_Super_L, XKB_KEY_Super_R, XKB_KEY_Super_L, XKB_KEY_Super_R},
}};

} // namespace

WaylandKeyTranslator::WaylandKeyTranslator(std::function<void(TapEvent&)> emit)
    : m_emit(std::move(emit)), m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref),
      m_keymap(nullptr, xkb_keymap_unref), m_state(nullptr, xkb_state_unref)
{
}

WaylandKeyTranslator::~WaylandKeyTranslator() = default;

bool WaylandKeyTranslator::setKeymap(const QByteArray& text)
{
    if (!m_context)
        return false;
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(m_context.get(), text.constData(), size_t(text.size()),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return false;
    m_keymap.reset(keymap);
    m_state.reset(xkb_state_new(keymap));
    m_keymapText = text;
    for (std::size_t i = 0; i < modifierNames.size(); ++i) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, modifierNames[i]);
        m_modifierBits[i] = index < 32 ? 1u << index : 0;
    }
    // What pressing each modifier key sets, read from a state of its own.
    const std::unique_ptr<xkb_state, void (*)(xkb_state*)> scratch(xkb_state_new(keymap), xkb_state_unref);
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(keymap);
         scratch && keycode <= xkb_keymap_max_keycode(keymap); ++keycode) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, 0, &syms) != 1)
            continue;
        for (std::size_t i = 0; i < modifierKeys.size(); ++i) {
            if (std::find(modifierKeys[i].begin(), modifierKeys[i].end(), syms[0]) == modifierKeys[i].end())
                continue;
            xkb_state_update_key(scratch.get(), keycode, XKB_KEY_DOWN);
            m_modifierBits[i] |= xkb_state_serialize_mods(scratch.get(), XKB_STATE_MODS_DEPRESSED);
            xkb_state_update_key(scratch.get(), keycode, XKB_KEY_UP);
        }
    }
    // A code held under the old keymap may be another key now; the modifiers event that follows a
    // keymap sets the state again.
    m_repeatKey.reset();
    return true;
}

std::optional<WaylandKeyTranslator::Location> WaylandKeyTranslator::locate(quint32 keysym) const
{
    if (!m_keymap)
        return std::nullopt;
    const xkb_keycode_t first = xkb_keymap_min_keycode(m_keymap.get());
    const xkb_keycode_t last = xkb_keymap_max_keycode(m_keymap.get());
    // Evdev codes start at 8 below xkb's.
    for (xkb_keycode_t keycode = std::max<xkb_keycode_t>(first, 8); keycode <= last; ++keycode) {
        const xkb_layout_index_t groups = xkb_keymap_num_layouts_for_key(m_keymap.get(), keycode);
        for (xkb_layout_index_t group = 0; group < groups; ++group) {
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(m_keymap.get(), keycode, group, 0, &syms);
            if (std::find(syms, syms + std::max(count, 0), keysym) != syms + std::max(count, 0))
                return Location{keycode - 8, group};
        }
    }
    return std::nullopt;
}

quint32 WaylandKeyTranslator::modifierMask(quint64 flags) const
{
    quint32 mask = 0;
    for (std::size_t i = 0; i < tapFlags.size(); ++i) {
        if (flags & tapFlags[i])
            mask |= m_modifierBits[i];
    }
    return mask;
}

void WaylandKeyTranslator::enter(const QList<quint32>& keysDown)
{
    m_down = keysDown;
    m_repeatKey.reset();
    m_entering = true;
}

void WaylandKeyTranslator::leave()
{
    flushEnter();
    m_down.clear();
    m_repeatKey.reset();
}

void WaylandKeyTranslator::key(quint32 code, bool pressed, qint64 now)
{
    flushEnter();
    if (pressed) {
        if (!m_down.contains(code))
            m_down.append(code);
    } else {
        m_down.removeAll(code);
    }
    // Modifier keys show as flagsChanged records, from the modifiers event that follows.
    if (isModifierKey(code))
        return;
    send(pressed ? TapEvent::keyDown : TapEvent::keyUp, tapKeyCode(code));
    if (pressed && m_rate > 0 && m_keymap && xkb_keymap_key_repeats(m_keymap.get(), code + 8)) {
        m_repeatKey = code;
        m_repeatDue = now + m_delay;
    } else if (m_repeatKey == code) {
        m_repeatKey.reset();
    }
}

void WaylandKeyTranslator::modifiers(quint32 depressed, quint32 latched, quint32 locked, quint32 group)
{
    if (m_state)
        xkb_state_update_mask(m_state.get(), depressed, latched, locked, 0, 0, group);
    quint64 flags = 0;
    for (std::size_t i = 0; i < tapFlags.size(); ++i) {
        if ((depressed | latched) & m_modifierBits[i])
            flags |= tapFlags[i];
    }
    const bool changed = std::exchange(m_flags, flags) != flags;
    if (changed || std::exchange(m_entering, false)) {
        m_entering = false;
        send(TapEvent::flagsChanged, 0);
    }
}

void WaylandKeyTranslator::setRepeat(int rate, int delay)
{
    m_rate = std::max(rate, 0);
    m_delay = std::max(delay, 0);
    if (m_rate == 0)
        m_repeatKey.reset();
}

std::optional<qint64> WaylandKeyTranslator::nextRepeat() const
{
    if (!m_repeatKey)
        return std::nullopt;
    return m_repeatDue;
}

void WaylandKeyTranslator::advance(qint64 now)
{
    const qint64 interval = std::max<qint64>(1000 / std::max(m_rate, 1), 1);
    while (m_repeatKey && m_repeatDue <= now) {
        m_repeatDue += interval;
        send(TapEvent::keyDown, tapKeyCode(*m_repeatKey), true);
    }
}

quint16 WaylandKeyTranslator::tapKeyCode(quint32 code) const
{
    if (!m_state)
        return otherKey;
    // The level-0 keysym, so that Shift or Caps Lock do not change what the key is.
    const xkb_layout_index_t group = xkb_state_key_get_layout(m_state.get(), code + 8);
    const xkb_keysym_t* syms = nullptr;
    const int count = group == XKB_LAYOUT_INVALID
                          ? 0
                          : xkb_keymap_key_get_syms_by_level(m_keymap.get(), code + 8, group, 0, &syms);
    const xkb_keysym_t sym = count == 1 ? xkb_keysym_to_lower(syms[0]) : XKB_KEY_NoSymbol;
    switch (sym) {
    case XKB_KEY_v:
        return TapEvent::keyV;
    case XKB_KEY_z:
        return TapEvent::keyZ;
    case XKB_KEY_Escape:
        return TapEvent::keyEscape;
    default:
        return otherKey;
    }
}

bool WaylandKeyTranslator::isModifierKey(quint32 code) const
{
    if (!m_keymap)
        return false;
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(m_keymap.get(), code + 8, 0, 0, &syms);
    return count == 1 && ((syms[0] >= XKB_KEY_Shift_L && syms[0] <= XKB_KEY_Hyper_R) ||
                          (syms[0] >= XKB_KEY_ISO_Lock && syms[0] <= XKB_KEY_ISO_Last_Group_Lock) ||
                          syms[0] == XKB_KEY_Mode_switch || syms[0] == XKB_KEY_Num_Lock);
}

void WaylandKeyTranslator::send(TapEvent::Type type, quint16 keyCode, bool autorepeat)
{
    TapEvent record;
    record.type = type;
    record.keyCode = keyCode;
    record.flags = m_flags;
    record.autorepeat = autorepeat;
    if (m_emit)
        m_emit(record);
}

void WaylandKeyTranslator::flushEnter()
{
    // A key before the modifiers event: the modifiers then are what they were.
    if (std::exchange(m_entering, false))
        send(TapEvent::flagsChanged, 0);
}
