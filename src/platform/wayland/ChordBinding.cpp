#include "platform/wayland/ChordBinding.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <thread>

namespace {

// How long stop() waits for the thread before leaving it to finish alone.
constexpr unsigned long stopWaitMs = 20;

} // namespace

// Callbacks run under the lock, so none is under way once stop() has taken it.
void ChordBinding::Link::report(const Outcome& outcome)
{
    QMutexLocker locker(&m_mutex);
    if (!m_first) {
        m_first = outcome;
        m_changed.wakeAll();
    }
    if (!m_stopped && m_onOutcome)
        m_onOutcome(outcome);
}

void ChordBinding::Link::pressed()
{
    QMutexLocker locker(&m_mutex);
    if (!m_stopped && m_onPressed)
        m_onPressed();
}

bool ChordBinding::Link::isStopped()
{
    QMutexLocker locker(&m_mutex);
    return m_stopped;
}

bool ChordBinding::Link::setWake(std::function<void()> wake)
{
    QMutexLocker locker(&m_mutex);
    m_wake = std::move(wake);
    return !m_stopped;
}

ChordBinding::~ChordBinding()
{
    stop();
}

void ChordBinding::start()
{
    stop();
    m_link = std::make_shared<Link>();
    m_link->m_onPressed = onPressed;
    m_link->m_onOutcome = onOutcome;
    std::thread([link = m_link, run = body()] {
        run(*link);
        QMutexLocker locker(&link->m_mutex);
        link->m_wake = {};
        link->m_finished = true;
        link->m_changed.wakeAll();
    }).detach();
}

std::optional<ChordBinding::Outcome> ChordBinding::firstOutcome(int timeoutMs)
{
    if (!m_link)
        return std::nullopt;
    QMutexLocker locker(&m_link->m_mutex);
    if (!m_link->m_first && !m_link->m_finished)
        m_link->m_changed.wait(&m_link->m_mutex, QDeadlineTimer(timeoutMs));
    return m_link->m_first;
}

void ChordBinding::stop()
{
    if (!m_link)
        return;
    m_stopping = std::exchange(m_link, {});
    Link& link = *m_stopping;
    QMutexLocker locker(&link.m_mutex);
    link.m_stopped = true;
    if (link.m_wake)
        link.m_wake();
    if (!link.m_finished)
        link.m_changed.wait(&link.m_mutex, QDeadlineTimer(stopWaitMs));
}

void ChordBinding::waitForRemoval(int timeoutMs)
{
    if (!m_stopping)
        return;
    QMutexLocker locker(&m_stopping->m_mutex);
    if (!m_stopping->m_finished)
        m_stopping->m_changed.wait(&m_stopping->m_mutex, QDeadlineTimer(timeoutMs));
}
