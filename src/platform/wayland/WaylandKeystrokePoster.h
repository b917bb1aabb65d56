#pragma once

#include "platform/KeystrokePoster.h"

class QuickPasteSeat;

// The paste typed by quick paste's virtual keyboard, with the keymap the popup's keyboard received.
class WaylandKeystrokePoster final : public KeystrokePoster {
public:
    // seat: none when the compositor did not answer; then nothing is typed.
    explicit WaylandKeystrokePoster(QuickPasteSeat* seat) : m_seat(seat) {}

    std::unique_ptr<Keystroke> create(PasteShortcut shortcut) override;

private:
    QuickPasteSeat* const m_seat;
};
