#include "services/ChordReleaseWait.h"

#include "platform/EventTap.h"
#include "services/DelayTimer.h"

#include <optional>
#include <utility>

ChordReleaseWait::ChordReleaseWait(EventTap& tap, DelayTimer& timer) : m_tap(tap), m_timer(timer) {}

ChordReleaseWait::~ChordReleaseWait()
{
    cancel();
}

void ChordReleaseWait::start(std::function<bool()> keysUp, std::function<void(bool released)> done)
{
    m_timer.cancel();
    m_keysUp = std::move(keysUp);
    m_done = std::move(done);
    m_started = m_timer.now();
    check();
}

void ChordReleaseWait::cancel()
{
    m_timer.cancel();
    m_done = nullptr;
}

void ChordReleaseWait::check()
{
    if (!m_done)
        return;
    const quint64 flags = m_tap.currentModifierFlags();
    std::optional<bool> released;
    if (flags & (TapEvent::controlFlag | TapEvent::optionFlag))
        released = false;
    else if (!(flags & (TapEvent::commandFlag | TapEvent::shiftFlag)) && (!m_keysUp || m_keysUp()))
        released = true;
    else if (m_timer.now() - m_started >= limit)
        released = false;
    if (released) {
        std::exchange(m_done, nullptr)(*released);
        return;
    }
    // The modifiers have no event of their own to wait for on every platform: look again shortly.
    m_timer.start(pollInterval, [this] { check(); });
}
