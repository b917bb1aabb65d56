#pragma once

#include "models/QuickPasteSetup.h"
#include "platform/TapEvent.h"

#include <functional>

// Sees every key press, click and scroll of the login session before the application in front does,
// and lets its client swallow the key events that belong to the quick paste chord.
class EventTap {
public:
    struct Client {
        // Called for every event on the tap's own thread; returns whether the event is swallowed.
        std::function<bool(TapEvent&)> handle;
        // Whether a chord is in progress; read on the tap's thread after each event.
        std::function<bool()> chordActive;
        // The tap could not hold on to the chord it was told to start.
        std::function<void()> cancel;
        // Whether the chord can still be seen, called when that changes after the install (another
        // program took the shortcut after a keyboard change, or the display went away).
        std::function<void(bool)> available;
    };

    virtual ~EventTap() = default;

    // Whether this session offers a way to see the chord at all. Where it does not, quick paste is
    // reported unavailable and nothing is installed.
    virtual bool isSupported() const = 0;

    // False when the tap cannot be created.
    virtual bool install(Client client) = 0;
    // Waits until the client is no longer called.
    virtual void remove() = 0;
    virtual bool isInstalled() const = 0;
    // Turns the tap on again after the system turned it off.
    virtual void enable() = 0;
    // The chord ended outside an event (cancelled or finished by its owner): whatever the tap holds
    // for it is released before the call returns. Thread-safe.
    virtual void chordEnded() = 0;
    // Another program holds the keyboard for itself (a password prompt, a screen locker).
    virtual bool isSecureEventInputEnabled() const = 0;
    // The modifier keys down now, in TapEvent flag bits.
    virtual quint64 currentModifierFlags() const = 0;

    // The chord's key was pressed as the desktop reports it (a compositor that runs a command for
    // the chord), not as the tap sees it. Any thread; nothing where the tap sees the keys itself.
    virtual void chordPressed() {}
    // What the user must do here for quick paste to work; nothing by default. Cheap: no round trip.
    virtual QuickPasteSetup setup() const { return {}; }
};
