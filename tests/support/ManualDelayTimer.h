#pragma once

#include "services/DelayTimer.h"

// A delay timer that fires only when the test says so, or when the test moves its clock past the
// delay.
class ManualDelayTimer final : public DelayTimer {
public:
    void start(std::chrono::milliseconds delay, std::function<void()> fire) override
    {
        m_delay = delay;
        m_due = m_now + delay;
        m_fire = std::move(fire);
        ++m_starts;
    }
    void cancel() override { m_fire = nullptr; }
    std::chrono::steady_clock::time_point now() const override { return m_now; }

    void advance(std::chrono::milliseconds step)
    {
        m_now += step;
        if (m_fire && m_now >= m_due)
            fire();
    }

    bool isActive() const { return static_cast<bool>(m_fire); }
    std::chrono::milliseconds delay() const { return m_delay; }
    int starts() const { return m_starts; }

    // Fires as the real timer would once its delay is over; false when nothing is pending.
    bool fire()
    {
        if (!m_fire)
            return false;
        std::exchange(m_fire, nullptr)();
        return true;
    }

private:
    std::function<void()> m_fire;
    std::chrono::milliseconds m_delay{0};
    std::chrono::steady_clock::time_point m_now;
    std::chrono::steady_clock::time_point m_due;
    int m_starts = 0;
};
