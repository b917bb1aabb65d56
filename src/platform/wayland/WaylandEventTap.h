#pragma once

#include "platform/EventTap.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <memory>
#include <optional>

class QuickPasteSeat;
class SwayChordBinding;

// Quick paste's chord on a Wayland compositor. The compositor reports the chord: sway through a
// runtime binding over its IPC, others by running `clipwell --quick-paste` (chordPressed()). Each
// report is a press of V with Super and Shift held; while the popup holds the keyboard, the seat's
// own key records follow, and letting go of the modifiers there commits.
class WaylandEventTap final : public EventTap {
public:
    // seat: none when the compositor did not answer. swaySocket: sway's IPC (SWAYSOCK), empty
    // elsewhere. desktop: XDG_CURRENT_DESKTOP, for the advice the settings give.
    WaylandEventTap(QuickPasteSeat* seat, QByteArray swaySocket, QString desktop);
    ~WaylandEventTap() override;

    bool isSupported() const override { return m_seat != nullptr; }
    // False when the compositor lacks the layer shell or the virtual keyboard, or sway would not
    // bind the chord (setup() says why).
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
    void forward(TapEvent& event);
    void bindingChanged(bool bound, QuickPasteSetup::Advice advice, const QString& line, const QString& path);

    QuickPasteSeat* const m_seat;
    const QByteArray m_swaySocket;
    const QString m_desktop;
    std::unique_ptr<SwayChordBinding> m_binding;
    // The binding last stopped, whose thread may still be taking the chord away.
    std::unique_ptr<SwayChordBinding> m_stoppedBinding;
    // Guards what follows, and is held while the client is called: once remove() has it, no call
    // is under way.
    mutable QMutex m_mutex;
    std::optional<Client> m_client;
    // V is down on the popup's keyboard: a report of the chord now is that same press.
    bool m_triggerDown = false;
    QuickPasteSetup m_bindingSetup;
};
