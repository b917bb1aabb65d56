#pragma once

#include "models/PasteShortcut.h"

#include <memory>

// Types the paste shortcut into the application in front, marked as Clipwell's own.
class KeystrokePoster {
public:
    // A paste keystroke made ready before anything is written to the clipboard.
    class Keystroke {
    public:
        virtual ~Keystroke() = default;
        // Whether every key it presses is up now: a key the user still holds cannot be typed again.
        virtual bool keysAreUp() const = 0;
        // Presses and releases the paste shortcut with no other modifier; false when it could not be
        // sent, a key it needs being held down among others.
        virtual bool post() = 0;
    };

    virtual ~KeystrokePoster() = default;

    // Nothing when the keystroke cannot be made (no way to type, or no key for it).
    virtual std::unique_ptr<Keystroke> create(PasteShortcut shortcut) = 0;
};
