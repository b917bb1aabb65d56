#include "services/GlobalShortcutMonitor.h"

#include "models/QuickPasteLog.h"
#include "platform/Accessibility.h"
#include "platform/EventTap.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QPointer>

GlobalShortcutMonitor::GlobalShortcutMonitor(EventTap& tap, Accessibility& accessibility, QObject* parent)
    : QObject(parent), m_tap(tap), m_accessibility(accessibility)
{
}

GlobalShortcutMonitor::~GlobalShortcutMonitor()
{
    // The tap must not call into a monitor that is gone.
    if (m_tap.isInstalled())
        m_tap.remove();
}

void GlobalShortcutMonitor::start(bool requestPermission)
{
    if (m_tap.isInstalled())
        return;
    // Nothing to install or to ask for: this session has no way to quick paste yet.
    if (!m_tap.isSupported()) {
        if (onStatus)
            onStatus(QuickPasteStatus::unavailable);
        return;
    }
    if (!m_accessibility.isProcessTrusted()) {
        if (requestPermission)
            m_accessibility.requestTrust();
        if (onStatus)
            onStatus(QuickPasteStatus::needsPermission);
        return;
    }
    const auto available = [this](bool yes) {
        deliver([yes](GlobalShortcutMonitor& monitor) {
            if (monitor.onStatus)
                monitor.onStatus(yes ? QuickPasteStatus::ready : QuickPasteStatus::failed);
        });
    };
    const bool installed = m_tap.install({[this](TapEvent& event) { return handle(event); },
                                          [this] { return active(); }, [this] { cancel(); }, available});
    if (!installed) {
        if (onStatus)
            onStatus(QuickPasteStatus::failed);
        return;
    }
    qCInfo(lcQuickPaste) << "Global keyboard tap installed";
    if (onStatus)
        onStatus(QuickPasteStatus::ready);
}

void GlobalShortcutMonitor::stop()
{
    ++m_deliveryEpoch;
    {
        QMutexLocker locker(&m_mutex);
        m_active = false;
        m_popupFrame.reset();
    }
    m_tap.chordEnded();
    if (onCancel)
        onCancel();
    if (m_tap.isInstalled())
        m_tap.remove();
    {
        QMutexLocker locker(&m_mutex);
        m_suppressedKeys.clear();
    }
    if (onStatus)
        onStatus(m_tap.isSupported() ? QuickPasteStatus::disabled : QuickPasteStatus::unavailable);
}

void GlobalShortcutMonitor::cancel()
{
    {
        QMutexLocker locker(&m_mutex);
        cancelLocked();
    }
    m_tap.chordEnded();
}

void GlobalShortcutMonitor::cancelLocked()
{
    m_active = false;
    m_popupFrame.reset();
    deliver([](GlobalShortcutMonitor& monitor) {
        if (monitor.onCancel)
            monitor.onCancel();
    });
}

void GlobalShortcutMonitor::finishChord()
{
    {
        QMutexLocker locker(&m_mutex);
        m_active = false;
        m_popupFrame.reset();
        ++m_deliveryEpoch;
    }
    m_tap.chordEnded();
}

bool GlobalShortcutMonitor::active() const
{
    QMutexLocker locker(&m_mutex);
    return m_active;
}

std::optional<QRectF> GlobalShortcutMonitor::popupFrame() const
{
    QMutexLocker locker(&m_mutex);
    return m_popupFrame;
}

void GlobalShortcutMonitor::setPopupFrame(std::optional<QRectF> frame)
{
    QMutexLocker locker(&m_mutex);
    m_popupFrame = frame;
}

void GlobalShortcutMonitor::deliver(std::function<void(GlobalShortcutMonitor&)> action)
{
    const qint64 epoch = m_deliveryEpoch.load();
    // Queued on this object, so nothing runs once the monitor is destroyed.
    QMetaObject::invokeMethod(
        this,
        [this, epoch, action = std::move(action)] {
            if (m_deliveryEpoch.load() == epoch)
                action(*this);
        },
        Qt::QueuedConnection);
}

bool GlobalShortcutMonitor::handle(TapEvent& event)
{
    if (event.type == TapEvent::tapDisabledByTimeout || event.type == TapEvent::tapDisabledByUserInput) {
        qCCritical(lcQuickPaste) << "Keyboard tap disabled by system; cancelling the current session";
        {
            QMutexLocker locker(&m_mutex);
            cancelLocked();
        }
        if (m_tap.isInstalled())
            m_tap.enable();
        return false;
    }
    QMutexLocker locker(&m_mutex);
    return handleLocked(event);
}

bool GlobalShortcutMonitor::handleLocked(TapEvent& event)
{
    if (event.userData == TapEvent::pasteEventMarker)
        return false;
    const quint16 key = event.keyCode;

    if (event.type == TapEvent::keyUp) {
        if (m_suppressedKeys.remove(key)) {
            if (key == trigger || key == reverseTrigger) {
                const Direction direction = key == trigger ? Direction::next : Direction::previous;
                deliver([direction](GlobalShortcutMonitor& monitor) {
                    if (monitor.onTriggerUp)
                        monitor.onTriggerUp(direction);
                });
            }
            return true;
        }
    }

    const quint64 flags = event.flags;
    if (m_active && (flags & (TapEvent::controlFlag | TapEvent::optionFlag))) {
        cancelLocked();
        return false;
    }

    switch (event.type) {
    case TapEvent::leftMouseDown:
        if (m_active && chordHeld(flags) && m_popupFrame && m_popupFrame->contains(event.location))
            return false;
        cancelLocked();
        return false;
    case TapEvent::rightMouseDown:
    case TapEvent::otherMouseDown:
        cancelLocked();
        return false;
    case TapEvent::scrollWheel:
        if (!m_active || !m_popupFrame || !m_popupFrame->contains(event.location))
            return false;
        if (!chordHeld(flags))
            return true;
        // Shift turns vertical wheel motion into horizontal motion; the popup's list only scrolls
        // vertically, so the chord's modifiers are taken off and a sideways scroll is turned upright.
        event.flags &= ~chordModifiers;
        if (event.lineDeltaAxis1 != 0 || event.pointDeltaAxis1 != 0 || event.fixedPtDeltaAxis1 != 0)
            return false;
        event.lineDeltaAxis1 = std::exchange(event.lineDeltaAxis2, 0);
        event.pointDeltaAxis1 = std::exchange(event.pointDeltaAxis2, 0);
        event.fixedPtDeltaAxis1 = std::exchange(event.fixedPtDeltaAxis2, 0);
        return false;
    case TapEvent::flagsChanged:
        if (m_active && !(flags & (TapEvent::commandFlag | TapEvent::shiftFlag))) {
            m_active = false;
            deliver([](GlobalShortcutMonitor& monitor) {
                if (monitor.onRelease)
                    monitor.onRelease();
            });
        }
        return false;
    case TapEvent::keyDown:
        break;
    default:
        return false;
    }

    if (m_active && key == TapEvent::keyEscape) {
        m_suppressedKeys.insert(key);
        cancelLocked();
        return true;
    }
    if (!m_active && m_suppressedKeys.contains(key))
        return true;
    if (key != trigger && key != reverseTrigger) {
        cancelLocked();
        return false;
    }
    if (key == reverseTrigger && !m_active) {
        cancelLocked();
        return false;
    }
    if (!m_active) {
        if (event.autorepeat || m_tap.isSecureEventInputEnabled() || !chordHeld(flags))
            return false;
        m_active = canStart ? canStart() : false;
        if (!m_active)
            return false;
        qCDebug(lcQuickPaste) << "Shortcut chord received";
        m_suppressedKeys.insert(key);
        deliver([](GlobalShortcutMonitor& monitor) {
            if (monitor.onStart)
                monitor.onStart();
        });
        return true;
    }
    if (!chordHeld(flags)) {
        cancelLocked();
        return false;
    }
    m_suppressedKeys.insert(key);
    const Direction direction = key == trigger ? Direction::next : Direction::previous;
    const bool isRepeat = event.autorepeat;
    deliver([direction, isRepeat](GlobalShortcutMonitor& monitor) {
        if (monitor.onCycle)
            monitor.onCycle(direction, isRepeat);
    });
    return true;
}
