#pragma once

#include "models/ClipboardEntry.h"
#include "models/PasteShortcut.h"
#include "models/QuickPasteSession.h"
#include "models/QuickPasteSetup.h"
#include "models/QuickPasteStatus.h"
#include "platform/KeystrokePoster.h"
#include "services/ChordReleaseWait.h"
#include "services/GlobalShortcutMonitor.h"
#include "services/PasteTarget.h"

#include <QObject>
#include <atomic>
#include <memory>
#include <optional>

class Accessibility;
class AppModel;
class DelayTimer;
class EventTap;
class Preferences;
class QuickPastePopup;
class Workspace;

// Runs quick paste from the chord to the paste: a session over the history when the chord starts,
// the popup moved along as V and Z are pressed, and 60 ms after the release the chosen entry copied
// and the paste shortcut typed into the application that was in front. It also owns the on/off preference,
// the permission flow and the status the settings show.
class QuickPasteController final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds pasteDelay{60};
    static constexpr std::chrono::milliseconds permissionPollInterval{1000};
    // How long, after the paste delay, the target may take to be in front again.
    static constexpr std::chrono::milliseconds activationLimit{500};

    struct Platform {
        Workspace& workspace;
        EventTap& tap;
        Accessibility& accessibility;
        KeystrokePoster& keystrokes;
    };
    // Timers tests drive by hand; real ones when absent.
    struct Timers {
        std::unique_ptr<DelayTimer> paste;
        std::unique_ptr<DelayTimer> permissionPoll;
        std::unique_ptr<DelayTimer> chordRelease;
    };

    QuickPasteController(AppModel& model, Preferences& preferences, Platform platform,
                         std::unique_ptr<QuickPastePopup> popup, Timers timers = {},
                         QObject* parent = nullptr);
    ~QuickPasteController() override;

    GlobalShortcutMonitor& monitor() { return *m_monitor; }
    QuickPastePopup& popup() { return *m_popup; }
    const std::optional<QuickPasteSession>& session() const { return m_session; }

    void setEnabled(bool enabled, bool requestPermission);
    void requestPermission();
    void refreshStatus();
    bool openAccessibilitySettings();
    // Whether Clipwell may watch the keyboard and type: on X11, whether the display offers what it needs;
    // on Wayland, whether the compositor offers the layer shell and the virtual keyboard.
    bool isProcessTrusted() const;
    // Whether this session has a way to quick paste at all (on Wayland, a seat): without one there is
    // no permission to ask for and no guide to show.
    bool isAvailable() const;
    // What the desktop asks of the user before quick paste works there.
    QuickPasteSetup setup() const;
    // A row of the popup was clicked.
    void selectAndPaste(const QUuid& id);
    // Clipwell came to the front or left it; coming to the front checks the permission again.
    void setApplicationActive(bool active);
    void stop();

private:
    void begin();
    void showSelection();
    void discard();
    void finish(const ClipboardEntry& entry, bool whileHoldingShortcut);
    void paste(const PasteTarget& target, const ClipboardEntry& entry, bool whileHoldingShortcut,
               std::chrono::steady_clock::time_point since);
    void endPaste();
    void pasteNow(const PasteTarget& target, const ClipboardEntry& entry, PasteShortcut shortcut,
                  KeystrokePoster::Keystroke& keystroke);
    // How the window in front pastes, by its class and the user's preferences.
    PasteShortcut pasteShortcut() const;
    void giveUp();
    void updatePermissionPolling(QuickPasteStatus status);
    void pollPermission();
    // What `canStart` answers on the input thread, kept up to date on this one.
    void updateMayStart();
    void updateFrontmost();

    AppModel& m_model;
    Preferences& m_preferences;
    Platform m_platform;
    std::unique_ptr<GlobalShortcutMonitor> m_monitor;
    std::unique_ptr<QuickPastePopup> m_popup;
    std::unique_ptr<DelayTimer> m_pasteTimer;
    std::unique_ptr<DelayTimer> m_permissionTimer;
    std::unique_ptr<DelayTimer> m_chordReleaseTimer;
    ChordReleaseWait m_chordRelease;
    std::optional<QuickPasteSession> m_session;
    std::optional<PasteTarget> m_target;
    bool m_pendingPaste = false;
    bool m_polling = false;
    bool m_applicationActive = false;
    // Clipwell is the application in front: a session never starts then.
    bool m_inFront = false;
    std::atomic<bool> m_mayStart{false};
};
