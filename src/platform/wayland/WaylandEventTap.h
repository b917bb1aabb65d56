#pragma once

#include "platform/EventTap.h"
#include "platform/wayland/ChordBinding.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

class QuickPasteSeat;
class ChordBinding;

// Quick paste's chord on a Wayland compositor. The compositor reports the chord: sway through a
// runtime binding over its IPC, KDE through a global shortcut of its shortcut service, others by
// running `clipwell --quick-paste` (chordPressed()). Each report is a press of V with Super and Shift
// held; while the popup holds the keyboard, the seat's own key records follow, and letting go of the
// modifiers there commits. A shortcut the user chose on KDE stands for Super+Shift+V: its modifiers
// are reported as Super and Shift.
class WaylandEventTap final : public EventTap {
public:
    // seat: none when no compositor listens. swaySocket: sway's IPC (SWAYSOCK), empty
    // elsewhere. desktop: XDG_CURRENT_DESKTOP, which names KDE where its shortcut service binds the
    // chord, and chooses the advice the settings give.
    WaylandEventTap(QuickPasteSeat* seat, QByteArray swaySocket, QString desktop);
    ~WaylandEventTap() override;

    bool isSupported() const override;
    // False when the compositor lacks the layer shell or the virtual keyboard, or would not bind the
    // chord (setup() says why).
    bool install(Client client) override;
    void remove() override;
    bool isInstalled() const override;
    void enable() override {}
    void chordEnded() override;
    bool isSecureEventInputEnabled() const override { return false; }
    quint64 currentModifierFlags() const override;
    void chordPressed() override;
    QuickPasteSetup setup() const override;

private:
    enum class Binder { none, sway, kglobalaccel };

    void forward(TapEvent& event);
    void bindingChanged(const ChordBinding::Outcome& outcome);
    // The seat's modifiers as the client reads them: the chord's own stand for Super and Shift.
    quint64 chordFlags(quint64 flags) const;

    QuickPasteSeat* const m_seat;
    const QByteArray m_swaySocket;
    const QString m_desktop;
    const Binder m_binder;
    std::unique_ptr<ChordBinding> m_binding;
    // The binding last stopped, whose thread may still be taking the chord away.
    std::unique_ptr<ChordBinding> m_stoppedBinding;
    // Guards what follows, and is held while the client is called: once remove() has it, no call
    // is under way.
    mutable QMutex m_mutex;
    std::optional<Client> m_client;
    // V is down on the popup's keyboard: a report of the chord now is that same press.
    bool m_triggerDown = false;
    QuickPasteSetup m_bindingSetup;
    // The modifiers of the chord the compositor reports, in tap flag bits.
    std::atomic<quint64> m_chordModifiers = TapEvent::commandFlag | TapEvent::shiftFlag;
};
