#pragma once

#include <QString>
#include <functional>
#include <optional>

// The quick paste chord as the compositor binds it for Clipwell: bound at start(), each press reported,
// taken away at stop(). Nothing here waits on the compositor on the caller's thread for longer than
// the caller allows.
class ChordBinding {
public:
    struct Outcome {
        enum class Status { bound, conflict, failed, unavailable };
        Status status = Status::failed;
        // The user's line that binds the chord, or why it could not be bound.
        QString detail;
        // The configuration file holding that line.
        QString path;
        // The key combination the compositor reports as the chord, as Qt encodes one (the user may
        // have chosen another); 0: Super+Shift+V.
        int shortcut = 0;
    };

    virtual ~ChordBinding() = default;

    // Both called on the binding's own thread, never after stop() has returned.
    std::function<void()> onPressed;
    // Each outcome of a bind (the first, and after each change), and the end of the compositor.
    std::function<void(const Outcome&)> onOutcome;

    virtual void start() = 0;
    // The outcome of the first bind, waiting for it up to timeoutMs; none while it is not known.
    virtual std::optional<Outcome> firstOutcome(int timeoutMs) = 0;
    // Takes the chord away (only a binding this one made) and ends the thread, waiting for it only
    // briefly: a compositor that does not answer is left to the thread.
    virtual void stop() = 0;
    // Waits, at most that long, until a stopped binding has taken the chord away: a quitting Clipwell
    // must not leave it bound.
    virtual void waitForRemoval(int timeoutMs) = 0;
};
