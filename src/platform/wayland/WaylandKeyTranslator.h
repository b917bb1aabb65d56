#pragma once

#include "platform/TapEvent.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// Turns what a wl_keyboard reports into tap records: keys by the keysym they type in its keymap (never
// by raw code, since every sender may bring a keymap of its own), modifiers by their names in it, and
// the key repeat Wayland leaves to its clients. Time is whatever milliseconds the caller counts in;
// it drives repeat through advance(), so nothing here sleeps or reads a clock.
class WaylandKeyTranslator {
public:
    // The key code of a record for a key that is none of V, Z and Escape.
    static constexpr quint16 otherKey = 0xFFFF;

    // Where a keymap has a keysym: the evdev code of the key, and the group it is at level 0 of.
    struct Location {
        quint32 code = 0;
        quint32 group = 0;
    };

    explicit WaylandKeyTranslator(std::function<void(TapEvent&)> emit);
    ~WaylandKeyTranslator();
    WaylandKeyTranslator(const WaylandKeyTranslator&) = delete;
    WaylandKeyTranslator& operator=(const WaylandKeyTranslator&) = delete;

    // An xkb keymap in text form, as wl_keyboard.keymap sends it; false (the previous one stays) when
    // it does not compile.
    bool setKeymap(const QByteArray& text);
    QByteArray keymapText() const { return m_keymapText; }
    // The key that types keysym with no modifier, or nothing when the keymap has none.
    std::optional<Location> locate(quint32 keysym) const;
    // The modifier mask of the keymap for these tap flag bits (shift, control, option, command).
    quint32 modifierMask(quint64 flags) const;

    // The keyboard came to the popup with these keys down; the modifiers that follow are reported
    // even when unchanged.
    void enter(const QList<quint32>& keysDown);
    void leave();
    void key(quint32 code, bool pressed, qint64 now);
    void modifiers(quint32 depressed, quint32 latched, quint32 locked, quint32 group);
    // Repeats per second (0: none) and the delay before the first, as wl_keyboard.repeat_info says.
    void setRepeat(int rate, int delay);
    // When the next repeat is due; nothing while no key repeats.
    std::optional<qint64> nextRepeat() const;
    // Sends the repeats due by now.
    void advance(qint64 now);

    // The tap flag bits of the modifiers down now.
    quint64 flags() const { return m_flags; }
    bool isDown(quint32 code) const { return m_down.contains(code); }

private:
    quint16 tapKeyCode(quint32 code) const;
    bool isModifierKey(quint32 code) const;
    void send(TapEvent::Type type, quint16 keyCode, bool autorepeat = false);
    void flushEnter();

    std::function<void(TapEvent&)> m_emit;
    std::unique_ptr<xkb_context, void (*)(xkb_context*)> m_context;
    std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)> m_keymap;
    std::unique_ptr<xkb_state, void (*)(xkb_state*)> m_state;
    QByteArray m_keymapText;
    // The keymap's modifier bits of shift, control, option and command.
    std::array<quint32, 4> m_modifierBits{};

    QList<quint32> m_down;
    quint64 m_flags = 0;
    bool m_entering = false;
    int m_rate = 25;
    int m_delay = 600;
    std::optional<quint32> m_repeatKey;
    qint64 m_repeatDue = 0;
};
