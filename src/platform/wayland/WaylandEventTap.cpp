#include "platform/wayland/WaylandEventTap.h"

#include "platform/wayland/QuickPasteSeat.h"
#include "platform/wayland/SwayChordBinding.h"

#include <QMutexLocker>

namespace {

// How long install() waits for sway's answer: enough for a sway at hand; with a stop before it, within
// what the GUI thread may wait.
// A later answer reaches the client through `available`.
constexpr int bindWaitMs = 25;

} // namespace

WaylandEventTap::WaylandEventTap(QuickPasteSeat* seat, QByteArray swaySocket, QString desktop)
    : m_seat(seat), m_swaySocket(std::move(swaySocket)), m_desktop(std::move(desktop))
{
}

WaylandEventTap::~WaylandEventTap()
{
    remove();
    // Clipwell is quitting: the chord goes with it, unless sway does not answer in time.
    if (m_stoppedBinding)
        m_stoppedBinding->waitForRemoval(500);
}

bool WaylandEventTap::install(Client client)
{
    if (!m_seat || !m_seat->hasLayerShell() || !m_seat->canType())
        return false;
    remove();
    {
        QMutexLocker locker(&m_mutex);
        m_client = std::move(client);
        m_triggerDown = false;
        m_bindingSetup = {};
    }
    m_seat->setEventHandler([this](TapEvent& event) { forward(event); });
    if (m_swaySocket.isEmpty())
        return true;

    using Outcome = SwayChordBinding::Outcome;
    m_binding = std::make_unique<SwayChordBinding>(m_swaySocket);
    m_binding->onPressed = [this] { chordPressed(); };
    m_binding->onOutcome = [this](const Outcome& outcome) {
        switch (outcome.status) {
        case Outcome::Status::bound:
            bindingChanged(true, QuickPasteSetup::Advice::none, {}, {});
            break;
        case Outcome::Status::conflict:
            bindingChanged(false, QuickPasteSetup::Advice::chordTaken, outcome.detail, outcome.path);
            break;
        case Outcome::Status::failed:
        case Outcome::Status::unavailable:
            bindingChanged(false, QuickPasteSetup::Advice::bindFailed, outcome.detail, {});
            break;
        }
    };
    m_binding->start();
    const std::optional<Outcome> first = m_binding->firstOutcome(bindWaitMs);
    if (first && first->status != Outcome::Status::bound) {
        remove();
        return false;
    }
    return true;
}

void WaylandEventTap::bindingChanged(bool bound, QuickPasteSetup::Advice advice, const QString& line,
                                     const QString& path)
{
    QMutexLocker locker(&m_mutex);
    m_bindingSetup.advice = advice;
    m_bindingSetup.line = line;
    m_bindingSetup.path = path;
    if (m_client && m_client->available)
        m_client->available(bound);
}

void WaylandEventTap::remove()
{
    // Not under the lock: the binding's thread may be waiting for it to report a press.
    if (m_binding) {
        m_binding->stop();
        m_stoppedBinding = std::exchange(m_binding, {});
    }
    if (m_seat)
        m_seat->setEventHandler({});
    QMutexLocker locker(&m_mutex);
    m_client.reset();
}

bool WaylandEventTap::isInstalled() const
{
    QMutexLocker locker(&m_mutex);
    return m_client.has_value();
}

void WaylandEventTap::chordEnded()
{
    // The popup gave the keyboard back: the release of a V held now never reaches it.
    QMutexLocker locker(&m_mutex);
    m_triggerDown = false;
}

quint64 WaylandEventTap::currentModifierFlags() const
{
    return m_seat ? m_seat->currentModifierFlags() : 0;
}

void WaylandEventTap::forward(TapEvent& event)
{
    QMutexLocker locker(&m_mutex);
    if (!m_client)
        return;
    if (event.keyCode == TapEvent::keyV && event.type == TapEvent::keyDown)
        m_triggerDown = true;
    else if (event.keyCode == TapEvent::keyV && event.type == TapEvent::keyUp)
        m_triggerDown = false;
    m_client->handle(event);
}

void WaylandEventTap::chordPressed()
{
    QMutexLocker locker(&m_mutex);
    if (!m_client || m_triggerDown)
        return;
    // The compositor reports the chord only while Super and Shift are held.
    TapEvent down;
    down.type = TapEvent::keyDown;
    down.keyCode = TapEvent::keyV;
    down.flags = TapEvent::commandFlag | TapEvent::shiftFlag;
    m_client->handle(down);
    TapEvent up = down;
    up.type = TapEvent::keyUp;
    m_client->handle(up);
}

QuickPasteSetup WaylandEventTap::setup() const
{
    QuickPasteSetup setup;
    setup.permissionGuide = false;
    if (!m_seat)
        return setup;
    setup.hasLayerShell = m_seat->hasLayerShell();
    setup.canType = m_seat->canType();
    setup.typingNeedsGrant = m_seat->typingNeedsGrant();
    if (!setup.hasLayerShell || !setup.canType) {
        setup.advice = QuickPasteSetup::Advice::missingProtocols;
        setup.x11Fallback = QuickPasteSetups::isX11FallbackDesktop(m_desktop);
        return setup;
    }
    if (m_swaySocket.isEmpty()) {
        setup.advice = QuickPasteSetup::Advice::bindCommand;
        setup.line = QuickPasteSetups::bindingLine(m_desktop);
        return setup;
    }
    QMutexLocker locker(&m_mutex);
    setup.advice = m_bindingSetup.advice;
    setup.line = m_bindingSetup.line;
    setup.path = m_bindingSetup.path;
    return setup;
}
