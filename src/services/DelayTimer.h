#pragma once

#include <QTimer>
#include <chrono>
#include <functional>

// A restartable single-shot timer. Services that debounce take one, so that tests can fire it by
// hand instead of waiting on a loaded machine.
class DelayTimer {
public:
    virtual ~DelayTimer() = default;
    // Starts the timer, replacing any earlier start that has not fired.
    virtual void start(std::chrono::milliseconds delay, std::function<void()> fire) = 0;
    virtual void cancel() = 0;
    // The clock the delays run on, so that a test's timer can bring its own.
    virtual std::chrono::steady_clock::time_point now() const { return std::chrono::steady_clock::now(); }
};

class QtDelayTimer final : public DelayTimer {
public:
    QtDelayTimer()
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (m_fire)
                std::exchange(m_fire, nullptr)();
        });
    }

    void start(std::chrono::milliseconds delay, std::function<void()> fire) override
    {
        m_fire = std::move(fire);
        m_timer.start(delay);
    }

    void cancel() override
    {
        m_timer.stop();
        m_fire = nullptr;
    }

private:
    QTimer m_timer;
    std::function<void()> m_fire;
};
