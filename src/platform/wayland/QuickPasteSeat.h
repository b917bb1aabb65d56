#pragma once

#include "models/PasteShortcut.h"
#include "platform/KeystrokePoster.h"
#include "platform/PopupSurface.h"
#include "platform/TapEvent.h"

#include <functional>
#include <memory>

// Quick paste's own connection to a Wayland compositor: the popup's layer surface, the keyboard it
// holds while a chord lasts, and the keyboard that types the paste.
class QuickPasteSeat : public PopupSurface {
public:
    // A compositor may take seconds to answer a new client; what it offers is known once ready.
    enum class State { connecting, ready, failed };
    virtual State state() const = 0;
    // What the compositor offers; without both quick paste cannot run. The seat types through a
    // virtual keyboard, or KWin's fake input where no virtual keyboard is offered.
    virtual bool hasLayerShell() const = 0;
    virtual bool canType() const = 0;
    // The compositor (KWin) offers a way to type only to the programs it grants it, and not to this one.
    virtual bool typingNeedsGrant() const = 0;

    // Keys and modifiers while the popup holds the keyboard, as tap records, called on the seat's own
    // thread. When the popup receives the focus the modifiers down then are reported as a flagsChanged
    // record, so a chord whose modifiers were let go early commits at once. An empty handler stops them.
    virtual void setEventHandler(std::function<void(TapEvent&)> handler) = 0;
    // The modifier keys last known down, in TapEvent flag bits. Thread-safe.
    virtual quint64 currentModifierFlags() const = 0;
    // The paste shortcut typed with the keys of the keymap the popup's keyboard received; nothing when
    // no keymap is known yet (fake input: the usual evdev keys then) or it has no key for the shortcut.
    virtual std::unique_ptr<KeystrokePoster::Keystroke> createKeystroke(PasteShortcut shortcut) = 0;
};
