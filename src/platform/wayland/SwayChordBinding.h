#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The quick paste chord as a runtime binding of the running sway: bound when it starts and again
// after every reload (a reload drops runtime bindings), its presses followed on a thread of its own,
// removed when it stops. Nothing here waits on sway on the caller's thread.
class SwayChordBinding {
public:
    struct Outcome {
        enum class Status { bound, conflict, failed, unavailable };
        Status status = Status::failed;
        // The user's line that binds the chord, or why it could not be bound.
        QString detail;
        // The configuration file holding that line.
        QString path;
    };

    explicit SwayChordBinding(QByteArray socketPath);
    // Stops.
    ~SwayChordBinding();
    SwayChordBinding(const SwayChordBinding&) = delete;
    SwayChordBinding& operator=(const SwayChordBinding&) = delete;

    // Both called on the binding's thread, never after stop() has returned.
    std::function<void()> onPressed;
    // Each outcome of a bind (the first, and after each reload), and the end of sway.
    std::function<void(const Outcome&)> onOutcome;

    void start();
    // The outcome of the first bind, waiting for it up to timeoutMs; none while it is not known.
    std::optional<Outcome> firstOutcome(int timeoutMs);
    // Removes the binding (only one this binding made) and ends the thread. Waits for it briefly:
    // a sway that does not answer is left to the thread, which ends on its own.
    void stop();
    // Waits, at most that long, until the thread of a stopped binding has taken the chord away: a
    // quitting Clipwell must not leave it bound.
    void waitForRemoval(int timeoutMs);

    // What the caller and the thread share; the thread keeps it alive after a stop that did not wait.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<Shared> m_stopping;
    QByteArray m_socketPath;
};
