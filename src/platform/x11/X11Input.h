#pragma once

#include "platform/EventTap.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/XcbPointers.h"

#include <QByteArray>
#include <QRecursiveMutex>
#include <QSet>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <chrono>
#include <deque>
#include <memory>

struct xcb_connection_t;
struct xcb_key_press_event_t;

// The session's input as X11 lets a client see it: Super+Shift+V is grabbed passively and
// synchronously, so that every keyboard waits while the chord is judged; once a chord starts the
// whole keyboard is grabbed until it ends; clicks and key releases are watched as XInput 2 raw events,
// which see everything without taking it. All of it runs on a thread and connection of its own.
class X11Input final : public EventTap {
public:
    // How long the keyboard may stay frozen waiting for a decision.
    static constexpr std::chrono::milliseconds decisionTimeout{100};

    explicit X11Input(const QByteArray& displayName);
    ~X11Input() override;
    X11Input(const X11Input&) = delete;
    X11Input& operator=(const X11Input&) = delete;

    bool isSupported() const override { return true; }
    bool install(Client client) override;
    void remove() override;
    bool isInstalled() const override { return m_thread != nullptr; }
    void enable() override;
    void chordEnded() override;
    bool isSecureEventInputEnabled() const override;
    quint64 currentModifierFlags() const override;

    bool hasXTest() const { return m_hasXTest; }
    bool hasXInput2() const { return m_hasXInput2; }
    // The paste shortcut typed through XTEST once the keyboard is no longer grabbed; false when its
    // keys are unknown, one of them is held down, or the display is gone.
    bool canPostPaste(PasteShortcut shortcut) const;
    bool pasteKeysAreUp(PasteShortcut shortcut) const;
    bool postPaste(PasteShortcut shortcut);

private:
    struct OwnKey {
        bool press = false;
        xcb_keycode_t key = 0;
        std::chrono::steady_clock::time_point expires;
    };

    void run();
    void watch();
    void wake();
    void dispatch(const XcbEvent& event);
    void handleKey(const xcb_key_press_event_t* event, bool press);
    void handleRaw(const XcbEvent& event);
    void handleFocusOut(const XcbEvent& event);
    void refreshKeyboard();
    bool grabChord();
    void ungrabChord();
    void releaseKeyboard(bool replay);
    bool isOwn(bool press, xcb_keycode_t key);
    // The tap's client judged one event; false when the watchdog gave up on it meanwhile.
    void beginDecision();
    bool endDecision();
    void reportLost(TapEvent::Type type);
    void selectEvents(bool on);

    xcb_connection_t* m_connection = nullptr;
    quint32 m_root = 0;
    int m_wakeFd = -1;
    bool m_hasXTest = false;
    bool m_hasXInput2 = false;
    bool m_hasXkb = false;
    uint8_t m_xkbEvent = 0;
    uint8_t m_xinputOpcode = 0;

    Client m_client;
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<QThread> m_watchdog;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_secure{false};
    std::atomic<bool> m_reenable{false};

    // Guards the grab state and the keyboard description, shared with callers on other threads.
    mutable QRecursiveMutex m_mutex;
    X11Keyboard m_keyboard;
    // The chord key and modifiers the passive grab holds, 0 when none.
    xcb_keycode_t m_grabbedKey = 0;
    uint16_t m_grabbedModifiers = 0;
    bool m_grabbed = false;
    uint16_t m_grabSequence = 0;
    std::deque<OwnKey> m_ownKeys;
    // Input thread only.
    QSet<xcb_keycode_t> m_down;
    // A chord key pressed under the passive grab whose core release is still to come.
    xcb_keycode_t m_passiveKey = 0;

    QMutex m_watchMutex;
    QWaitCondition m_watchCondition;
    quint64 m_decision = 0;
    bool m_deciding = false;
    std::chrono::steady_clock::time_point m_decisionStart;
    bool m_timedOut = false;
};
