#pragma once

#include <chrono>
#include <functional>

class DelayTimer;
class EventTap;

// Before the paste is typed, Super, Shift and the keys of the paste shortcut must be up: a typed
// Control+V would carry a held Super or Shift, a fake release cannot lift a key the user holds down,
// and a key still down (the chord's V) cannot be pressed again.
class ChordReleaseWait {
public:
    static constexpr std::chrono::milliseconds limit{1000};
    static constexpr std::chrono::milliseconds pollInterval{10};

    ChordReleaseWait(EventTap& tap, DelayTimer& timer);
    ~ChordReleaseWait();
    ChordReleaseWait(const ChordReleaseWait&) = delete;
    ChordReleaseWait& operator=(const ChordReleaseWait&) = delete;

    // done(true) as soon as Super and Shift are up and keysUp() holds, done(false) once Control or Alt
    // goes down or after `limit`. A wait started again replaces the earlier one, whose done is never
    // called.
    void start(std::function<bool()> keysUp, std::function<void(bool released)> done);
    void cancel();
    bool isWaiting() const { return static_cast<bool>(m_done); }

private:
    void check();

    EventTap& m_tap;
    DelayTimer& m_timer;
    std::function<bool()> m_keysUp;
    std::function<void(bool)> m_done;
    std::chrono::steady_clock::time_point m_started;
};
