#pragma once

#include "services/HistoryRepository.h"
#include "shell/StatusItem.h"
#include "ui/guide/AccessibilityGuideWindowController.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class AppLocalization;
class AppModel;
class LoginItemService;
class MainWindowController;
class Preferences;
class QMenu;
class QMessageBox;
class QuickPasteController;
class SettingsWindowController;

// Owns everything with a window or a menu: the history window, its menu bar and the status item. It
// starts the model, follows the interface language and runs the one quit flow. Main thread only.
class AppCoordinator final : public QObject {
    Q_OBJECT

public:
    enum class QuitChoice { returnToApp, quitAnyway };
    // A start from the desktop opens the history window; one at login stays in the tray.
    enum class Launch { interactive, background };

    // What the coordinator asks of the desktop. Empty members get the real thing.
    struct Desktop {
        std::function<std::unique_ptr<StatusItem>()> makeStatusItem;
        // The unsaved-history alert; returns once the user has chosen or it was dismissed.
        std::function<QuitChoice(const HistoryRepository::Error& error)> askToQuitUnsaved;
        // Closes that alert while it is open, without a choice.
        std::function<void()> dismissQuitAlert;
        // Ends the event loop after an approved quit.
        std::function<void()> terminate;
        // Quick paste, made on first use; without it there is none.
        std::function<std::unique_ptr<QuickPasteController>()> makeQuickPaste;
        // The login-item registry the settings switch drives; the XDG autostart entry when empty.
        std::function<std::unique_ptr<LoginItemService>()> makeLoginItems;
    };

    // localization: whose language the menus and the tooltip speak and whose changes they follow; the
    // shared one in the application.
    AppCoordinator(AppModel& model, Preferences& preferences, AppLocalization& localization,
                   Desktop desktop = {}, QObject* parent = nullptr);
    ~AppCoordinator() override;

    AppModel& model() const { return m_model; }
    // The history window, made on first use and then kept.
    MainWindowController& mainWindow();
    // Absent before start() and after stop().
    StatusItem* statusItem() const { return m_statusItem.get(); }
    // Made on first use; absent when the desktop offers none.
    QuickPasteController* quickPaste();
    // Closes an open quick paste popup before another window comes forward.
    void cancelQuickPaste();
    // Absent until showSettings() first made it; then kept, closing only hides it.
    SettingsWindowController* settingsWindow() const { return m_settingsWindow.get(); }

    // Theme, language, language observers, menu, status item, model; then, unless in the background,
    // the history window and the guide.
    void start(Launch launch = Launch::interactive);
    // Language observers, clipboard monitor, quick paste, status item; idempotent.
    void stop();

    void showHistory();
    // The menus' Settings item, the tray's and the history window's gear.
    void showSettings();
    // Explains what quick paste needs; made on first use, gone once closed.
    void showAccessibilityGuide();
    AccessibilityGuideWindowController* accessibilityGuide() const { return m_accessibilityGuide.data(); }
    void toggleRecording();
    void statusClicked(StatusItem::Click click);
    // Clipwell was launched again while running.
    void handleReopen();
    void hideApplication();
    void showAbout();

    // Every way to quit ends here (menus, Ctrl+Q, the tray, signals, the session): writes the history,
    // asks the user when that fails, and on approval stops and terminates. True when the application
    // is ending.
    bool requestQuit();
    // SIGTERM, SIGINT or SIGHUP: the first quits as above; the second while the unsaved-history alert
    // is open quits without waiting for an answer, so a logout or shutdown never hangs on it.
    void terminationSignalReceived();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configureMenu();
    // Opens the guide on the first three launches that find quick paste unable to work.
    void presentAccessibilityGuideOnColdLaunch();
    void observeLanguageChanges();
    void refreshLocalizedChrome();
    std::unique_ptr<QMenu> makeStatusMenu();

    AppModel& m_model;
    Preferences& m_preferences;
    AppLocalization& m_localization;
    Desktop m_desktop;
    std::unique_ptr<LoginItemService> m_loginItems;
    std::unique_ptr<QuickPasteController> m_quickPaste;
    std::unique_ptr<MainWindowController> m_mainWindow;
    // After what it refers to, so that it goes first.
    std::unique_ptr<SettingsWindowController> m_settingsWindow;
    // Deleted later once closed: its close may come from inside its own code.
    QPointer<AccessibilityGuideWindowController> m_accessibilityGuide;
    bool m_didEvaluateLaunchGuide = false;
    std::unique_ptr<StatusItem> m_statusItem;
    QList<QMetaObject::Connection> m_languageObservers;
    bool m_observesLocaleEvents = false;
    bool m_quitting = false;
    // Termination signals during the current quit, and whether they overrode the alert.
    int m_quitSignals = 0;
    bool m_quitForced = false;
    QPointer<QMessageBox> m_quitAlert;
    bool m_stopped = false;
};
