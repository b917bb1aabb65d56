#include "shell/AppCoordinator.h"

#include "app/AppModel.h"
#include "app/LoginItemService.h"
#include "app/Preferences.h"
#include "app/QuickPasteController.h"
#include "l10n/Localization.h"
#include "shell/MainMenu.h"
#include "ui/common/AppTheme.h"
#include "ui/detail/DetailView.h"
#include "ui/guide/AccessibilityGuideWindowController.h"
#include "ui/history/MainWindowController.h"
#include "ui/settings/SettingsWindowController.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace {

AppCoordinator::QuitChoice askWithAlert(const AppLocalization& localization, QWidget* parent,
                                        const HistoryRepository::Error& error, QPointer<QMessageBox>& open)
{
    QMessageBox alert(parent);
    open = &alert;
    alert.setIcon(QMessageBox::Warning);
    alert.setWindowTitle(QStringLiteral("Clipwell"));
    alert.setText(localization.text(L10n::Key::historyUnsaved));
    alert.setInformativeText(error.localizedDescription());
    QPushButton* back = alert.addButton(localization.text(L10n::Key::returnToApp), QMessageBox::RejectRole);
    QPushButton* quit =
        alert.addButton(localization.text(L10n::Key::quitAnyway), QMessageBox::DestructiveRole);
    alert.setDefaultButton(back);
    alert.setEscapeButton(back);
    alert.exec();
    return alert.clickedButton() == quit ? AppCoordinator::QuitChoice::quitAnyway
                                         : AppCoordinator::QuitChoice::returnToApp;
}

} // namespace

AppCoordinator::AppCoordinator(AppModel& model, Preferences& preferences, AppLocalization& localization,
                               Desktop desktop, QObject* parent)
    : QObject(parent), m_model(model), m_preferences(preferences), m_localization(localization),
      m_desktop(std::move(desktop))
{
    if (!m_desktop.makeStatusItem)
        m_desktop.makeStatusItem = [] { return std::make_unique<TrayStatusItem>(); };
    if (!m_desktop.askToQuitUnsaved) {
        m_desktop.askToQuitUnsaved = [this](const HistoryRepository::Error& error) {
            QWidget* window = m_mainWindow ? m_mainWindow->window() : nullptr;
            return askWithAlert(m_localization, window && window->isVisible() ? window : nullptr, error,
                                m_quitAlert);
        };
    }
    if (!m_desktop.dismissQuitAlert) {
        m_desktop.dismissQuitAlert = [this] {
            if (m_quitAlert)
                m_quitAlert->done(QDialog::Rejected);
        };
    }
    if (!m_desktop.makeLoginItems)
        m_desktop.makeLoginItems = [] { return std::make_unique<XdgAutostartLoginItemService>(); };
    if (!m_desktop.terminate)
        // exit() rather than quit(): quit() first asks every window to close, and the history window
        // only hides.
        m_desktop.terminate = [] { QCoreApplication::exit(0); };
}

AppCoordinator::~AppCoordinator() = default;

MainWindowController& AppCoordinator::mainWindow()
{
    if (!m_mainWindow)
        m_mainWindow = std::make_unique<MainWindowController>(m_model, m_preferences, new DetailView(m_model),
                                                              [this] { showSettings(); });
    return *m_mainWindow;
}

void AppCoordinator::start(Launch launch)
{
    AppThemes::apply(AppThemes::stored(m_preferences));
    m_localization.refreshSystemLanguage();
    observeLanguageChanges();
    configureMenu();

    m_statusItem = m_desktop.makeStatusItem();
    if (m_statusItem) {
        m_statusItem->setToolTip(m_localization.text(L10n::Key::statusTooltip));
        connect(m_statusItem.get(), &StatusItem::clicked, this, &AppCoordinator::statusClicked);
        m_statusItem->setPaused(m_model.recordingPaused());
        connect(&m_model, &AppModel::recordingPausedChanged, m_statusItem.get(),
                [this] { m_statusItem->setPaused(m_model.recordingPaused()); });
    }

    m_model.start();
    // The permission prompt is never shown at launch.
    if (QuickPasteController* quickPaste = this->quickPaste())
        quickPaste->setEnabled(m_model.quickPasteEnabled(), false);
    cancelQuickPaste();
    if (launch == Launch::background)
        return;
    mainWindow().present();
    presentAccessibilityGuideOnColdLaunch();
}

void AppCoordinator::presentAccessibilityGuideOnColdLaunch()
{
    if (std::exchange(m_didEvaluateLaunchGuide, true))
        return;
    QuickPasteController* quickPaste = this->quickPaste();
    if (!quickPaste || !quickPaste->isAvailable() || !quickPaste->setup().permissionGuide ||
        quickPaste->isProcessTrusted())
        return;
    const Preferences::Key key = Preferences::Key::accessibilityGuideLaunchPresentationCount;
    const int count = std::max(0, m_preferences.intValue(key));
    if (count > 2)
        return;
    showAccessibilityGuide();
    m_preferences.setInt(key, count + 1);
}

void AppCoordinator::showAccessibilityGuide()
{
    cancelQuickPaste();
    QuickPasteController* quickPaste = this->quickPaste();
    // The guide's steps are X11's; a session without quick paste, or a compositor, has none to follow.
    if (!quickPaste || !quickPaste->isAvailable() || !quickPaste->setup().permissionGuide)
        return;
    if (!m_accessibilityGuide) {
        const QPointer<AppCoordinator> self(this);
        m_accessibilityGuide = new AccessibilityGuideWindowController(
            [self] {
                if (!self || !self->quickPaste())
                    return false;
                self->quickPaste()->setEnabled(true, false);
                return self->quickPaste()->openAccessibilitySettings();
            },
            [self] {
                if (self && self->quickPaste() && self->m_model.quickPasteEnabled())
                    self->quickPaste()->refreshStatus();
            },
            [self] {
                if (!self || !self->m_accessibilityGuide)
                    return;
                std::exchange(self->m_accessibilityGuide, nullptr)->deleteLater();
            },
            [quickPaste] { return quickPaste->isProcessTrusted(); }, {}, this);
    }
    m_accessibilityGuide->present();
}

QuickPasteController* AppCoordinator::quickPaste()
{
    if (!m_quickPaste && m_desktop.makeQuickPaste && !m_stopped)
        m_quickPaste = m_desktop.makeQuickPaste();
    return m_quickPaste.get();
}

void AppCoordinator::cancelQuickPaste()
{
    if (QuickPasteController* quickPaste = this->quickPaste())
        quickPaste->monitor().cancel();
}

void AppCoordinator::stop()
{
    if (m_accessibilityGuide)
        m_accessibilityGuide->closeImmediately();
    for (const QMetaObject::Connection& observer : std::as_const(m_languageObservers))
        disconnect(observer);
    m_languageObservers.clear();
    if (m_observesLocaleEvents) {
        qApp->removeEventFilter(this);
        m_observesLocaleEvents = false;
    }
    m_model.clipboard().stop();
    if (m_quickPaste)
        m_quickPaste->stop();
    m_statusItem.reset();
    m_stopped = true;
}

void AppCoordinator::showHistory()
{
    cancelQuickPaste();
    mainWindow().present();
}

void AppCoordinator::showSettings()
{
    cancelQuickPaste();
    if (!m_settingsWindow) {
        m_loginItems = m_desktop.makeLoginItems();
        std::function<void()> showGuide;
        if (quickPaste() && quickPaste()->isAvailable() && quickPaste()->setup().permissionGuide)
            showGuide = [this] { showAccessibilityGuide(); };
        m_settingsWindow = std::make_unique<SettingsWindowController>(SettingsView::Services{
            m_model, quickPaste(), *m_loginItems, m_preferences, m_localization, std::move(showGuide)});
    }
    m_settingsWindow->present();
}

void AppCoordinator::toggleRecording()
{
    m_model.setRecordingPaused(!m_model.recordingPaused());
}

void AppCoordinator::statusClicked(StatusItem::Click click)
{
    if (click == StatusItem::Click::right && m_statusItem) {
        m_statusItem->popUpMenu(makeStatusMenu());
        return;
    }
    showHistory();
}

void AppCoordinator::handleReopen()
{
    showHistory();
}

void AppCoordinator::hideApplication()
{
    // Only our own windows: the tray icon is a top-level window too.
    if (m_mainWindow)
        m_mainWindow->window()->hide();
    if (m_settingsWindow)
        m_settingsWindow->window()->hide();
}

void AppCoordinator::showAbout()
{
    QMessageBox::about(mainWindow().window(), m_localization.text(L10n::Key::aboutApp),
                       QStringLiteral("<h3>Clipwell</h3><p>%1</p><p>%2</p>")
                           .arg(QCoreApplication::applicationVersion(),
                                m_localization.text(L10n::Key::statusTooltip).toHtmlEscaped()));
}

bool AppCoordinator::requestQuit()
{
    if (m_stopped) {
        m_desktop.terminate();
        return true;
    }
    // Another request while the alert is open (the tray, the session) leaves the answer to the user.
    if (m_quitting)
        return false;
    m_quitting = true;
    bool approved = true;
    if (const std::optional<HistoryRepository::Error> error = m_model.flush())
        approved = m_desktop.askToQuitUnsaved(*error) == QuitChoice::quitAnyway || m_quitForced;
    m_quitting = false;
    m_quitSignals = 0;
    m_quitForced = false;
    if (!approved)
        return false;
    stop();
    m_desktop.terminate();
    return true;
}

void AppCoordinator::terminationSignalReceived()
{
    if (!m_quitting) {
        m_quitSignals = 1;
        requestQuit();
        return;
    }
    // Arriving inside the alert's own event loop: close it, and the quit above goes on to stop().
    if (++m_quitSignals >= 2 && !m_quitForced) {
        m_quitForced = true;
        m_desktop.dismissQuitAlert();
    }
}

bool AppCoordinator::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::LocaleChange)
        m_localization.refreshSystemLanguage();
    return QObject::eventFilter(watched, event);
}

void AppCoordinator::configureMenu()
{
    MainMenu::Actions actions;
    actions.showAbout = [this] { showAbout(); };
    actions.showSettings = [this] { showSettings(); };
    actions.showHistory = [this] { showHistory(); };
    actions.hideApplication = [this] { hideApplication(); };
    actions.quit = [this] { requestQuit(); };
    mainWindow().setMenuBar(MainMenu::build(m_localization, actions));
}

void AppCoordinator::observeLanguageChanges()
{
    m_languageObservers.append(connect(&m_localization, &AppLocalization::appLanguageDidChange, this,
                                       &AppCoordinator::refreshLocalizedChrome));
    qApp->installEventFilter(this);
    m_observesLocaleEvents = true;
    m_languageObservers.append(
        connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                m_localization.refreshSystemLanguage();
        }));
}

void AppCoordinator::refreshLocalizedChrome()
{
    configureMenu();
    if (m_statusItem)
        m_statusItem->setToolTip(m_localization.text(L10n::Key::statusTooltip));
    // The settings window follows the language by itself.
}

std::unique_ptr<QMenu> AppCoordinator::makeStatusMenu()
{
    // Built on every click, so the pause item reads the current state in the current language.
    auto menu = std::make_unique<QMenu>();
    connect(menu->addAction(m_localization.text(L10n::Key::openHistory)), &QAction::triggered, this,
            &AppCoordinator::showHistory);
    connect(menu->addAction(m_localization.text(m_model.recordingPaused() ? L10n::Key::resumeRecording
                                                                          : L10n::Key::pauseRecording)),
            &QAction::triggered, this, &AppCoordinator::toggleRecording);
    menu->addSeparator();
    connect(menu->addAction(m_localization.text(L10n::Key::settingsMenu)), &QAction::triggered, this,
            &AppCoordinator::showSettings);
    menu->addSeparator();
    connect(menu->addAction(m_localization.text(L10n::Key::quitApp)), &QAction::triggered, this,
            [this] { requestQuit(); });
    return menu;
}
