#pragma once

#include "platform/wayland/QuickPasteSeat.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <thread>

class QObject;

// Quick paste on a wlroots compositor or KWin, over a Wayland connection and a thread of its own: the
// popup as an overlay layer surface fed from shared memory, the keyboard that surface takes while it is
// shown, and one virtual keyboard (KWin: fake input) that types the paste. Only that thread speaks to the
// compositor; the GUI thread hands it frames and keystrokes and never waits on it.
class WaylandQuickPasteSeat final : public QuickPasteSeat {
public:
    // waylandDisplay is a socket name in XDG_RUNTIME_DIR or an absolute path (empty: WAYLAND_DISPLAY).
    // Nothing (and why, in reason) when no compositor listens there. The seat then asks on its own
    // thread what the compositor offers, and gives up after ten seconds without an answer.
    static std::unique_ptr<WaylandQuickPasteSeat> create(const QByteArray& waylandDisplay,
                                                         QString* reason = nullptr);
    ~WaylandQuickPasteSeat() override;
    WaylandQuickPasteSeat(const WaylandQuickPasteSeat&) = delete;
    WaylandQuickPasteSeat& operator=(const WaylandQuickPasteSeat&) = delete;

    State state() const override;
    bool hasLayerShell() const override;
    bool canType() const override;
    bool typingNeedsGrant() const override;
    void setEventHandler(std::function<void(TapEvent&)> handler) override;
    quint64 currentModifierFlags() const override;
    std::unique_ptr<KeystrokePoster::Keystroke> createKeystroke(PasteShortcut shortcut) override;

    int scale() const override;
    QSize availableSize() const override;
    void present(const QImage& frame) override;
    void hide() override;

    // False once the compositor went away: nothing is shown or reported any more.
    bool isConnected() const;

private:
    struct Shared;
    struct Worker;
    class Keystroke;

    WaylandQuickPasteSeat(std::unique_ptr<Worker> worker);

    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<Worker> m_worker;
    // Lives on the GUI thread: the callbacks are queued to it.
    std::unique_ptr<QObject> m_context;
    std::thread m_thread;
};
