#pragma once

#include "models/QuickPasteSession.h"
#include "models/QuickPasteStatus.h"
#include "platform/TapEvent.h"

#include <QMutex>
#include <QObject>
#include <QRectF>
#include <QSet>
#include <atomic>
#include <functional>
#include <optional>

class Accessibility;
class EventTap;

// Recognises the quick paste chord in the session's input: Super+Shift+V starts, V and Z move, letting
// go of Super and Shift commits, and Escape, another key, a click elsewhere, Control or Alt cancel.
// The keys that belong to the chord are swallowed. `handle` runs on the tap's thread; every callback
// it reports is delivered on the monitor's (GUI) thread.
class GlobalShortcutMonitor final : public QObject {
    Q_OBJECT

public:
    using Direction = QuickPasteSession::Direction;

    // The chord modifiers are exactly Command and Shift: Caps Lock and other bits do not count.
    static constexpr quint64 chordModifierMask = 0x1E0000;
    static constexpr quint64 chordModifiers = TapEvent::commandFlag | TapEvent::shiftFlag;

    GlobalShortcutMonitor(EventTap& tap, Accessibility& accessibility, QObject* parent = nullptr);
    ~GlobalShortcutMonitor() override;

    void start(bool requestPermission);
    void stop();
    void cancel();
    // A row was chosen while the chord is held: the chord ends with no callback.
    void finishChord();
    // Whether the event is swallowed. Thread-safe; `canStart` is called from here, on the caller's
    // thread, and must not call back into the monitor.
    bool handle(TapEvent& event);

    bool active() const;
    std::optional<QRectF> popupFrame() const;
    void setPopupFrame(std::optional<QRectF> frame);
    qint64 deliveryEpoch() const { return m_deliveryEpoch.load(); }

    std::function<bool()> canStart;
    std::function<void()> onStart;
    std::function<void(Direction, bool isRepeat)> onCycle;
    std::function<void(Direction)> onTriggerUp;
    std::function<void()> onRelease;
    std::function<void()> onCancel;
    std::function<void(QuickPasteStatus)> onStatus;

    quint16 trigger = TapEvent::keyV;
    quint16 reverseTrigger = TapEvent::keyZ;

private:
    static bool chordHeld(quint64 flags) { return (flags & chordModifierMask) == chordModifiers; }
    // Both need m_mutex held.
    void cancelLocked();
    bool handleLocked(TapEvent& event);
    // Runs the action on the GUI thread unless the epoch moved on meanwhile.
    void deliver(std::function<void(GlobalShortcutMonitor&)> action);

    EventTap& m_tap;
    Accessibility& m_accessibility;
    mutable QMutex m_mutex;
    std::optional<QRectF> m_popupFrame;
    bool m_active = false;
    QSet<quint16> m_suppressedKeys;
    std::atomic<qint64> m_deliveryEpoch{0};
};
