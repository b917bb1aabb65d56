#pragma once

#include <chrono>
#include <functional>

class DelayTimer;
class EventTap;

// After a row is chosen with the chord still held, the paste waits until Super and Shift are up: a
// typed Control+V would carry them, and a fake release cannot lift a key the user holds down.
class ChordReleaseWait {
public:
    static constexpr std::chrono::milliseconds limit{1000};
    static constexpr std::chrono::milliseconds pollInterval{10};

    ChordReleaseWait(EventTap& tap, DelayTimer& timer);
    ~ChordReleaseWait();
    ChordReleaseWait(const ChordReleaseWait&) = delete;
    ChordReleaseWait& operator=(const ChordReleaseWait&) = delete;

    // done(true) as soon as both are up, done(false) once Control or Alt goes down or after `limit`.
    // A wait started again replaces the earlier one, whose done is never called.
    void start(std::function<void(bool released)> done);
    void cancel();
    bool isWaiting() const { return static_cast<bool>(m_done); }

private:
    void check();

    EventTap& m_tap;
    DelayTimer& m_timer;
    std::function<void(bool)> m_done;
    std::chrono::steady_clock::time_point m_started;
};
