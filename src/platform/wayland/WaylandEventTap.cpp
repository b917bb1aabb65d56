#include "platform/wayland/WaylandEventTap.h"

#include "platform/wayland/KGlobalAccelChordBinding.h"
#include "platform/wayland/QuickPasteSeat.h"
#include "platform/wayland/SwayChordBinding.h"

#include <QKeyCombination>
#include <QKeySequence>
#include <QMutexLocker>

namespace {

// How long install() waits for the compositor's answer: enough for one at hand; with a stop before
// it, within what the GUI thread may wait.
// A later answer reaches the client through `available`.
constexpr int bindWaitMs = 25;
constexpr quint64 chordDefaultFlags = TapEvent::commandFlag | TapEvent::shiftFlag;

quint64 flagsOf(Qt::KeyboardModifiers modifiers)
{
    quint64 flags = 0;
    for (const auto& [modifier, flag] : {std::pair{Qt::MetaModifier, TapEvent::commandFlag},
                                         std::pair{Qt::ControlModifier, TapEvent::controlFlag},
                                         std::pair{Qt::AltModifier, TapEvent::optionFlag},
                                         std::pair{Qt::ShiftModifier, TapEvent::shiftFlag}})
        if (modifiers & modifier)
            flags |= flag;
    return flags;
}

// In the order and names of "Super+Shift+V".
QString chordText(QKeyCombination combination)
{
    QStringList parts;
    for (const auto& [modifier, name] :
         {std::pair{Qt::MetaModifier, "Super"}, std::pair{Qt::ControlModifier, "Ctrl"},
          std::pair{Qt::AltModifier, "Alt"}, std::pair{Qt::ShiftModifier, "Shift"}})
        if (combination.keyboardModifiers() & modifier)
            parts.append(QLatin1String(name));
    parts.append(QKeySequence(combination.key()).toString(QKeySequence::PortableText));
    return parts.join(QLatin1Char('+'));
}

bool namesKde(const QString& desktop)
{
    return desktop.split(QLatin1Char(':')).contains(QLatin1String("KDE"), Qt::CaseInsensitive);
}

} // namespace

WaylandEventTap::WaylandEventTap(QuickPasteSeat* seat, QByteArray swaySocket, QString desktop)
    : m_seat(seat), m_swaySocket(std::move(swaySocket)), m_desktop(std::move(desktop)),
      m_binder(!m_swaySocket.isEmpty() ? Binder::sway
               : namesKde(m_desktop)   ? Binder::kglobalaccel
                                       : Binder::none)
{
}

WaylandEventTap::~WaylandEventTap()
{
    remove();
    // Clipwell is quitting: the chord goes with it, unless sway does not answer in time.
    if (m_stoppedBinding)
        m_stoppedBinding->waitForRemoval(500);
}

bool WaylandEventTap::isSupported() const
{
    return m_seat && m_seat->state() != QuickPasteSeat::State::failed;
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
        m_chordModifiers = chordDefaultFlags;
    }
    m_seat->setEventHandler([this](TapEvent& event) { forward(event); });
    if (m_binder == Binder::none)
        return true;

    using Outcome = ChordBinding::Outcome;
    if (m_binder == Binder::sway)
        m_binding = std::make_unique<SwayChordBinding>(m_swaySocket);
    else
        m_binding = std::make_unique<KGlobalAccelChordBinding>();
    m_binding->onPressed = [this] { chordPressed(); };
    m_binding->onOutcome = [this](const Outcome& outcome) { bindingChanged(outcome); };
    m_binding->start();
    const std::optional<Outcome> first = m_binding->firstOutcome(bindWaitMs);
    if (first && first->status != Outcome::Status::bound) {
        remove();
        return false;
    }
    return true;
}

void WaylandEventTap::bindingChanged(const ChordBinding::Outcome& outcome)
{
    using Status = ChordBinding::Outcome::Status;
    using Advice = QuickPasteSetup::Advice;
    const bool bound = outcome.status == Status::bound;
    const bool kde = m_binder == Binder::kglobalaccel;
    QMutexLocker locker(&m_mutex);
    m_bindingSetup = {};
    m_bindingSetup.line = outcome.detail;
    m_bindingSetup.path = outcome.path;
    if (bound && outcome.shortcut) {
        const QKeyCombination combination = QKeyCombination::fromCombined(outcome.shortcut);
        m_chordModifiers = flagsOf(combination.keyboardModifiers());
        m_bindingSetup.chord = chordText(combination);
    } else if (bound) {
        m_chordModifiers = chordDefaultFlags;
    } else if (outcome.status == Status::conflict) {
        m_bindingSetup.advice = kde ? Advice::shortcutMissing : Advice::chordTaken;
    } else {
        m_bindingSetup.advice = kde ? Advice::shortcutFailed : Advice::bindFailed;
    }
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
    return m_seat ? chordFlags(m_seat->currentModifierFlags()) : 0;
}

quint64 WaylandEventTap::chordFlags(quint64 flags) const
{
    const quint64 chord = m_chordModifiers;
    const quint64 held = flags & chord;
    quint64 mapped = flags & ~(chord | chordDefaultFlags);
    if (chord && held == chord)
        mapped |= chordDefaultFlags;
    else if (held)
        // Not all let go yet: no commit, but no chord held either.
        mapped |= TapEvent::shiftFlag;
    return mapped;
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
    event.flags = chordFlags(event.flags);
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
    if (m_seat->state() == QuickPasteSeat::State::connecting) {
        setup.advice = QuickPasteSetup::Advice::connecting;
        return setup;
    }
    setup.hasLayerShell = m_seat->hasLayerShell();
    setup.canType = m_seat->canType();
    setup.typingNeedsGrant = m_seat->typingNeedsGrant();
    if (!setup.hasLayerShell || !setup.canType) {
        setup.advice = QuickPasteSetup::Advice::missingProtocols;
        setup.x11Fallback = QuickPasteSetups::isX11FallbackDesktop(m_desktop);
        return setup;
    }
    if (m_binder == Binder::none) {
        setup.advice = QuickPasteSetup::Advice::bindCommand;
        setup.line = QuickPasteSetups::bindingLine(m_desktop);
        return setup;
    }
    QMutexLocker locker(&m_mutex);
    setup.advice = m_bindingSetup.advice;
    setup.line = m_bindingSetup.line;
    setup.path = m_bindingSetup.path;
    setup.chord = m_bindingSetup.chord;
    return setup;
}
