#pragma once

#include <QMutex>
#include <QString>
#include <QWaitCondition>
#include <functional>
#include <memory>
#include <optional>

// The quick paste chord as the compositor binds it for Clipwell: bound at start(), each press reported,
// taken away at stop(). The binding runs on a thread of its own; nothing here waits on the compositor
// on the caller's thread for longer than the caller allows.
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

    // What the binding and its thread share; the thread keeps it after a stop that did not wait.
    class Link {
    public:
        void report(const Outcome& outcome);
        void pressed();
        bool isStopped();
        // How stop() ends the thread's wait, called under the link's lock; empty once it no longer
        // waits. False when stopped already.
        bool setWake(std::function<void()> wake);

    private:
        friend class ChordBinding;
        QMutex m_mutex;
        QWaitCondition m_changed;
        std::optional<Outcome> m_first;
        bool m_stopped = false;
        bool m_finished = false;
        std::function<void()> m_wake;
        std::function<void()> m_onPressed;
        std::function<void(const Outcome&)> m_onOutcome;
    };

    // Stops.
    virtual ~ChordBinding();
    ChordBinding() = default;
    ChordBinding(const ChordBinding&) = delete;
    ChordBinding& operator=(const ChordBinding&) = delete;

    // Both called on the binding's own thread, never after stop() has returned.
    std::function<void()> onPressed;
    // Each outcome of a bind (the first, and after each change), and the end of the compositor.
    std::function<void(const Outcome&)> onOutcome;

    void start();
    // The outcome of the first bind, waiting for it up to timeoutMs; none while it is not known.
    std::optional<Outcome> firstOutcome(int timeoutMs);
    // Takes the chord away (only a binding this one made) and ends the thread, waiting for it only
    // briefly: a compositor that does not answer is left to the thread.
    void stop();
    // Waits, at most that long, until a stopped binding has taken the chord away: a quitting Clipwell
    // must not leave it bound.
    void waitForRemoval(int timeoutMs);

protected:
    // What the thread runs, made at each start(): binds, reports through the link until it is stopped,
    // takes the chord away. It may outlive this object, so it holds copies, not references.
    virtual std::function<void(Link&)> body() = 0;

private:
    std::shared_ptr<Link> m_link;
    std::shared_ptr<Link> m_stopping;
};
