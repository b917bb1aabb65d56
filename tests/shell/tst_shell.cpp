#include "app/AppModel.h"
#include "app/Preferences.h"
#include "app/QuickPasteController.h"
#include "l10n/Localization.h"
#include "shell/AppCoordinator.h"
#include "shell/ClipwellApp.h"
#include "shell/MainMenu.h"
#include "shell/SingleInstance.h"
#include "shell/StatusItem.h"
#include "shell/TerminationSignals.h"
#include "support/FakeEventTap.h"
#include "support/FakePasteboard.h"
#include "support/FakeQuickPaste.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "support/TestColumns.h"
#include "support/x11/WindowManager.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HistoryButton.h"
#include "ui/history/HistorySidebar.h"
#include "ui/history/MainWindowController.h"
#include "ui/settings/SettingsWindowController.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <csignal>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

class FakeStatusItem final : public StatusItem {
public:
    ~FakeStatusItem() override
    {
        if (onRemoved)
            onRemoved();
    }
    void setToolTip(const QString& text) override { toolTip = text; }
    void setPaused(bool on) override { paused = on; }
    void popUpMenu(std::unique_ptr<QMenu> popUp) override { menu = std::move(popUp); }
    void click(Click click) { Q_EMIT clicked(click); }

    QString toolTip;
    bool paused = false;
    std::unique_ptr<QMenu> menu;
    std::function<void()> onRemoved;
};

// Items as "text shortcut", "-" for separators, "(off)" for disabled items.
QString describe(const QMenu* menu)
{
    QStringList items;
    for (const QAction* action : menu->actions()) {
        QString item = action->isSeparator() ? u"-"_s : action->text();
        if (!action->shortcut().isEmpty())
            item += u' ' + action->shortcut().toString(QKeySequence::PortableText);
        if (!action->isEnabled())
            item += u" (off)"_s;
        items.append(item);
    }
    return items.join(u" | "_s);
}

QAction* item(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Counts the events of one kind that reach any object of the application.
class EventCounter final : public QObject {
public:
    explicit EventCounter(std::function<bool(QObject*, QEvent*)> counted) : m_counted(std::move(counted))
    {
        qApp->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        count += m_counted(watched, event) ? 1 : 0;
        return false;
    }

private:
    std::function<bool(QObject*, QEvent*)> m_counted;
};

// A started coordinator over doubles: a private archive folder, a fake status item, an alert that
// answers as told (unless realAlert) and a terminate that only counts.
struct Harness {
    QTemporaryDir root;
    Preferences preferences{root.filePath(u"Clipwell.conf"_s)};
    QStringList systemLanguages{u"en-US"_s};
    AppLocalization localization{preferences.languageStore(), [this] { return systemLanguages; }};
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    QString directory = root.filePath(u"history"_s);
    std::unique_ptr<AppModel> model;
    QPointer<FakeStatusItem> status;
    QStringList alerts;
    AppCoordinator::QuitChoice choice = AppCoordinator::QuitChoice::returnToApp;
    std::function<void()> duringAlert;
    int dismissals = 0;
    int terminations = 0;
    std::unique_ptr<AppCoordinator> coordinator;

    explicit Harness(bool paused = false, bool realAlert = false,
                     AppCoordinator::Launch launch = AppCoordinator::Launch::interactive)
    {
        preferences.setBool(Preferences::Key::recordingPaused, paused);
        model = std::make_unique<AppModel>(pasteboard, workspace, preferences, directory,
                                           std::make_unique<ManualDelayTimer>());
        AppCoordinator::Desktop desktop;
        desktop.makeStatusItem = [this] {
            auto item = std::make_unique<FakeStatusItem>();
            status = item.get();
            return item;
        };
        if (!realAlert) {
            desktop.askToQuitUnsaved = [this](const HistoryRepository::Error& error) {
                alerts.append(error.localizedDescription());
                if (duringAlert)
                    duringAlert();
                return choice;
            };
            desktop.dismissQuitAlert = [this] { ++dismissals; };
        }
        desktop.terminate = [this] { ++terminations; };
        coordinator = std::make_unique<AppCoordinator>(*model, preferences, localization, desktop);
        coordinator->start(launch);
        static_cast<void>(QTest::qWaitFor([this] { return !model->isLoading(); }, 10000));
    }

    // A copy that cannot be written: a file stands where the archive folder must be.
    bool copy(bool writable = true)
    {
        pasteboard.setText(u"latest"_s);
        model->clipboard().poll();
        QFile inTheWay(directory);
        return writable || (QDir(directory).removeRecursively() && inTheWay.open(QIODevice::WriteOnly));
    }

    QMainWindow* window() { return coordinator->mainWindow().window(); }
    // A replaced bar may linger, hidden, until the event loop deletes it.
    QMenuBar* menuBar()
    {
        for (QMenuBar* bar : window()->findChildren<QMenuBar*>()) {
            if (!bar->isHidden())
                return bar;
        }
        return nullptr;
    }
    QMenu* menu(int index) { return menuBar()->actions().at(index)->menu(); }
};

enum class Presenter { statusLeftClick, reopen, statusMenuItem, mainMenuItem };

} // namespace

// The shell on a private X server, without a window manager unless a test starts one.
class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // The backend from the session's variables, the compositor's answer and --backend. probe: what the
    // compositor answers ("ext", "wlr": its data-control; "bare": none; "gone": no answer; "-": it must
    // not be asked). expected: "x11", "wayland", the parts of the message that says what is missing, or
    // the exit status of a command line that names no backend.
    void chooseBackend_data()
    {
        addColumns<QByteArray, QByteArray, QString, QString, QString>("display", "wayland", "probe",
                                                                      "arguments", "expected");
        const auto row = [](const char* name, const char* display, const char* wayland, const char* probe,
                            const char* arguments, const char* expected) {
            QTest::newRow(name) << QByteArray(display) << QByteArray(wayland) << QString::fromLatin1(probe)
                                << QString::fromLatin1(arguments) << QString::fromLatin1(expected);
        };
        row("X11 session", ":0", "", "-", "", "x11");
        row("sway without XWayland", "", "wayland-1", "wlr", "", "wayland");
        row("KDE with XWayland", ":1", "wayland-0", "wlr", "", "wayland");
        row("the ext protocol", ":1", "/run/user/1000/wayland-0", "ext", "", "wayland");
        row("GNOME: XWayland", ":0", "wayland-0", "bare", "", "x11");
        row("compositor gone, XWayland left", ":0", "wayland-0", "gone", "", "x11");
        row("nothing", "", "", "-", "", "no X11 display|no Wayland compositor with clipboard access");
        row("compositor without data-control", "", "wayland-0", "bare", "",
            "no X11 display|\"wayland-0\" answers but does not let applications follow the clipboard");
        row("compositor gone", "", "wayland-0", "gone", "",
            "no X11 display|no Wayland compositor answers at \"wayland-0\"");
        row("X11 asked for in Wayland", ":0", "wayland-1", "-", "--backend x11", "x11");
        row("X11 asked for, no display", "", "wayland-1", "-", "--backend x11",
            "--backend x11|no X11 display");
        row("Wayland asked for with XWayland", ":0", "wayland-1", "ext", "--backend=wayland", "wayland");
        row("Wayland asked for, no data-control", ":0", "wayland-0", "bare", "--backend wayland",
            "--backend wayland|does not let applications follow the clipboard");
        row("Wayland asked for, no compositor", ":0", "", "-", "--backend wayland",
            "--backend wayland|WAYLAND_DISPLAY is not set");
        row("a backend of another name", ":0", "", "-", "--backend mir", "exit 2");
        row("a backend without a name", ":0", "", "-", "--backend", "exit 2");
    }
    void chooseBackend()
    {
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, wayland);
        QFETCH(QString, probe);
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        const std::variant<ClipwellApp::Options, int> parsed = ClipwellApp::parseCommandLine(
            QStringList{u"clipwell"_s} + arguments.split(u' ', Qt::SkipEmptyParts));
        if (const int* exit = std::get_if<int>(&parsed)) {
            QCOMPARE(u"exit %1"_s.arg(*exit), expected);
            return;
        }
        QStringList asked;
        const auto answer = [&](const QByteArray& name) {
            asked.append(QString::fromLocal8Bit(name));
            WaylandProbe result;
            result.connected = probe != u"gone";
            result.dataControl = probe == u"ext"   ? "ext_data_control_manager_v1"
                                 : probe == u"wlr" ? "zwlr_data_control_manager_v1"
                                                   : QByteArray();
            return result;
        };
        const auto chosen = ClipwellApp::chooseBackend(
            display, wayland, std::get<ClipwellApp::Options>(parsed).backend, answer);
        QCOMPARE(asked, probe == u"-" ? QStringList() : QStringList{QString::fromLocal8Bit(wayland)});
        if (const auto* choice = std::get_if<ClipwellApp::BackendChoice>(&chosen)) {
            QCOMPARE(choice->backend == ClipwellApp::Backend::wayland ? u"wayland"_s : u"x11"_s, expected);
            QVERIFY(!choice->reason.isEmpty());
            return;
        }
        const QString message = std::get<QString>(chosen);
        for (const QString& part : expected.split(u'|'))
            QVERIFY2(message.contains(part), qPrintable(message));
    }

    void mainMenu()
    {
        Harness h;
        QStringList menus;
        for (const QAction* menu : h.menuBar()->actions())
            menus.append(menu->text() + u": "_s + describe(menu->menu()));
        QCOMPARE(menus, QStringList({u"Clipwell: About Clipwell | - | Settings… Ctrl+, | Open History "
                                     "Ctrl+0 | - | Hide Clipwell Ctrl+H | - | Quit Clipwell Ctrl+Q"_s,
                                     u"Edit: Undo Ctrl+Z | Cut Ctrl+X | Copy Ctrl+C | Paste Ctrl+V | "
                                     "Select All Ctrl+A"_s,
                                     u"Window: Minimize Ctrl+M | Close Ctrl+W"_s}));
    }

    // The system's languages are read again on a locale change and when Clipwell becomes active; the
    // tooltip and the menu bar follow.
    void systemLanguageIsRefreshed_data()
    {
        QTest::addColumn<bool>("byActivation");
        QTest::newRow("locale change") << false;
        QTest::newRow("application activated") << true;
    }
    void systemLanguageIsRefreshed()
    {
        QFETCH(bool, byActivation);
        Harness h;
        h.systemLanguages = {u"zh-Hans-CN"_s};
        if (byActivation) {
            Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationActive);
        } else {
            QEvent change(QEvent::LocaleChange);
            QCoreApplication::sendEvent(qApp, &change);
        }
        QCOMPARE(h.status->toolTip, u"Clipwell – 剪贴板历史"_s);
        QCOMPARE(describe(h.menu(0)).section(u" | "_s, -1), u"退出 Clipwell Ctrl+Q"_s);
    }

    void presentsTheHistoryWindow_data()
    {
        QTest::addColumn<Presenter>("presenter");
        QTest::addColumn<bool>("background");
        QTest::newRow("status item left click") << Presenter::statusLeftClick << false;
        QTest::newRow("launched again") << Presenter::reopen << false;
        QTest::newRow("status menu") << Presenter::statusMenuItem << false;
        QTest::newRow("main menu") << Presenter::mainMenuItem << false;
        QTest::newRow("started at login, then the tray") << Presenter::statusLeftClick << true;
    }
    void presentsTheHistoryWindow()
    {
        QFETCH(Presenter, presenter);
        QFETCH(bool, background);
        Harness h(false, false,
                  background ? AppCoordinator::Launch::background : AppCoordinator::Launch::interactive);
        QCOMPARE(h.window()->isVisible(), !background);
        if (!background)
            item(h.menu(0), u"Hide Clipwell"_s)->trigger();
        QVERIFY(!h.window()->isVisible());
        if (presenter == Presenter::reopen)
            h.coordinator->handleReopen();
        else if (presenter == Presenter::mainMenuItem)
            item(h.menu(0), u"Open History"_s)->trigger();
        else
            h.status->click(presenter == Presenter::statusLeftClick ? StatusItem::Click::left
                                                                    : StatusItem::Click::right);
        if (presenter == Presenter::statusMenuItem)
            h.status->menu->actions().at(0)->trigger();
        else if (presenter == Presenter::statusLeftClick)
            QVERIFY(!h.status->menu);
        QVERIFY(h.window()->isVisible());
    }

    // The guide comes forward by itself on the first three launches that find quick paste unable to
    // work, and never when it can.
    void accessibilityGuideOnColdLaunch_data()
    {
        addColumns<bool, bool, QString, bool>("trusted", "supported", "opened", "permissionGuide");
        QTest::newRow("missing extensions") << false << true << u"11100"_s << true;
        QTest::newRow("trusted") << true << true << u"00000"_s << true;
        // Its steps are X11's: a session with no quick paste, or a compositor lacking a protocol, has
        // none to follow.
        QTest::newRow("no quick paste in this session") << false << false << u"00000"_s << true;
        QTest::newRow("a compositor without the layer shell") << false << true << u"00000"_s << false;
    }
    void accessibilityGuideOnColdLaunch()
    {
        QFETCH(bool, trusted);
        QFETCH(bool, supported);
        QFETCH(QString, opened);
        QTemporaryDir root;
        Preferences preferences(root.filePath(u"Clipwell.conf"_s));
        AppLocalization localization(preferences.languageStore(), [] { return QStringList{u"en"_s}; });
        FakePasteboard pasteboard;
        FakeWorkspace workspace;
        FakeEventTap tap;
        FakeAccessibility accessibility;
        accessibility.trusted = trusted;
        tap.supported = supported;
        QFETCH(bool, permissionGuide);
        tap.advice.permissionGuide = permissionGuide;
        FakeKeystrokePoster keystrokes;
        QString launches;
        for (int launch = 0; launch < 5; ++launch) {
            AppModel model(pasteboard, workspace, preferences, root.filePath(u"history"_s),
                           std::make_unique<ManualDelayTimer>());
            AppCoordinator::Desktop desktop;
            desktop.makeStatusItem = [] { return std::make_unique<FakeStatusItem>(); };
            desktop.terminate = [] {};
            desktop.makeQuickPaste = [&] {
                return std::make_unique<QuickPasteController>(
                    model, preferences,
                    QuickPasteController::Platform{workspace, tap, accessibility, keystrokes},
                    std::make_unique<FakePopup>());
            };
            AppCoordinator coordinator(model, preferences, localization, desktop);
            coordinator.start();
            launches += coordinator.accessibilityGuide() ? u'1' : u'0';
            coordinator.stop();
        }
        QCOMPARE(launches, opened);
        QCOMPARE(preferences.intValue(Preferences::Key::accessibilityGuideLaunchPresentationCount),
                 opened.count(u'1'));
    }

    // The tray's item and the history window's gear open the one settings window; closing hides it.
    void presentsTheSettingsWindow()
    {
        Harness h;
        h.status->click(StatusItem::Click::right);
        item(h.status->menu.get(), u"Settings…"_s)->trigger();
        QWidget* settings = h.coordinator->settingsWindow()->window();
        settings->close();
        QVERIFY(!settings->isVisible());
        h.window()->findChild<HistorySidebar*>()->settingsButton()->click();
        QVERIFY(h.coordinator->settingsWindow()->window() == settings && settings->isVisible());
    }

    // The panel's colours are not the theme's: in either theme the symbol stands out on a light panel
    // and on a dark one, and a paused one looks different.
    void trayIconShowsOnAnyPanel()
    {
        TrayStatusItem tray;
        for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
            AppThemes::apply(theme);
            QImage running;
            for (const bool paused : {false, true}) {
                tray.setPaused(paused);
                const QImage icon = tray.icon().pixmap(22).toImage();
                for (const QColor panel : {QColor(0xF4, 0xF4, 0xF4), QColor(0x24, 0x24, 0x24)}) {
                    QImage shown(icon.size(), QImage::Format_RGB32);
                    shown.fill(panel);
                    QPainter(&shown).drawImage(0, 0, icon);
                    int standsOut = 0;
                    for (int y = 0; y < shown.height(); ++y)
                        for (int x = 0; x < shown.width(); ++x)
                            standsOut += std::abs(qGray(shown.pixel(x, y)) - qGray(panel.rgb())) > 96;
                    QVERIFY2(standsOut > 40, qPrintable(panel.name()));
                }
                QVERIFY(paused ? icon != running : std::exchange(running, icon).isNull());
            }
        }
        AppThemes::apply(AppTheme::light);
    }

    // Launched paused, as stored.
    void statusMenuFollowsRecordingState()
    {
        Harness h(true);
        const auto menu = [&h] {
            h.status->click(StatusItem::Click::right);
            return describe(h.status->menu.get());
        };
        QCOMPARE(menu(), u"Open History | Resume Recording | - | Settings… | - | Quit Clipwell"_s);
        QVERIFY(!h.pasteboard.observing() && h.status->paused);
        h.status->menu->actions().at(1)->trigger();
        QVERIFY(!h.model->recordingPaused() && h.pasteboard.observing() && !h.status->paused);
        QCOMPARE(menu(), u"Open History | Pause Recording | - | Settings… | - | Quit Clipwell"_s);
    }

    // Every quit writes the history first and asks when that fails. A logout or shutdown never waits
    // on that alert: the second termination signal during it quits.
    void quitFlow_data()
    {
        addColumns<bool, AppCoordinator::QuitChoice, bool, int, bool>("writable", "choice", "bySignal",
                                                                      "signalsDuringAlert", "terminated");
        const auto back = AppCoordinator::QuitChoice::returnToApp;
        QTest::newRow("unsaved copy is written") << true << back << false << 0 << true;
        QTest::newRow("quit anyway") << false << AppCoordinator::QuitChoice::quitAnyway << false << 0 << true;
        QTest::newRow("one signal asks") << false << back << true << 0 << false;
        QTest::newRow("second signal quits") << false << back << true << 1 << true;
        QTest::newRow("quit item, one signal") << false << back << false << 1 << false;
        QTest::newRow("quit item, two signals") << false << back << false << 2 << true;
    }
    void quitFlow()
    {
        QFETCH(bool, writable);
        QFETCH(AppCoordinator::QuitChoice, choice);
        QFETCH(bool, bySignal);
        QFETCH(int, signalsDuringAlert);
        QFETCH(bool, terminated);
        Harness h;
        h.choice = choice;
        QVERIFY(h.copy(writable));
        h.duringAlert = [&] {
            for (int i = 0; i < signalsDuringAlert; ++i)
                h.coordinator->terminationSignalReceived();
        };
        if (bySignal)
            h.coordinator->terminationSignalReceived();
        else
            QCOMPARE(h.coordinator->requestQuit(), terminated);
        QCOMPARE(h.alerts.size(), writable ? 0 : 1);
        if (!writable)
            QVERIFY2(h.alerts.first().contains(u"a file is in the way"_s), qPrintable(h.alerts.first()));
        QCOMPARE(h.dismissals, int(bySignal) + signalsDuringAlert >= 2 ? 1 : 0);
        QCOMPARE(h.terminations, terminated ? 1 : 0);
        QCOMPARE(h.status.isNull(), terminated);
        QCOMPARE(HistoryRepository::read(h.directory).entries.size(), writable ? 1 : 0);
        if (!terminated) {
            // Returning keeps everything running, and the count starts again with the next quit.
            QVERIFY(h.pasteboard.observing());
            h.duringAlert = [&] { h.coordinator->terminationSignalReceived(); };
            QVERIFY(!h.coordinator->requestQuit());
            QCOMPARE(h.alerts.size(), 2);
            QCOMPARE(h.terminations, 0);
        }
    }

    // The real signals and the real alert: both signals are raised before it opens, the second is
    // read inside its modal loop.
    void secondSignalClosesTheOpenAlert()
    {
        Harness h(false, true);
        QVERIFY(h.copy(false));
        TerminationSignals terminationSignals;
        connect(&terminationSignals, &TerminationSignals::received, h.coordinator.get(),
                &AppCoordinator::terminationSignalReceived);
        const EventCounter alerts([](QObject* watched, QEvent* event) {
            return event->type() == QEvent::Show && qobject_cast<QMessageBox*>(watched);
        });
        // Rather than hang, a failing build closes the alerts itself.
        bool closedByTest = false;
        QTimer watchdog;
        connect(&watchdog, &QTimer::timeout, this, [&] {
            if (auto* open = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                closedByTest = true;
                open->done(QDialog::Rejected);
            }
        });
        watchdog.start(10000);
        ::raise(SIGTERM);
        ::raise(SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(h.terminations == 1 || closedByTest, 30000);
        QCOMPARE(alerts.count, 1);
        QVERIFY(!closedByTest);
    }

    void stopTearsDownInOrder()
    {
        Harness h;
        QVERIFY(h.pasteboard.observing());
        bool monitorStoppedFirst = false;
        h.status->onRemoved = [&] { monitorStoppedFirst = !h.pasteboard.observing(); };
        const QPointer<QMenuBar> bar = h.menuBar();
        h.coordinator->stop();
        QVERIFY(h.status.isNull());
        QVERIFY(monitorStoppedFirst);
        h.localization.select(AppLanguage::simplifiedChinese);
        QCOMPARE(h.menuBar(), bar.data());
        QCOMPARE(h.terminations, 0);
    }

    // Edit items act on whatever field has the focus, like the first responder.
    void editItemsActOnTheFocusedField()
    {
        AppLocalization localization({}, [] { return QStringList{u"en"_s}; });
        std::unique_ptr<QMenuBar> bar(MainMenu::build(localization, {}));
        QWidget window;
        auto* field = new QLineEdit(u"hello"_s, &window);
        (new QVBoxLayout(&window))->addWidget(field);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), field);
        const auto trigger = [&](const QStringList& names) {
            for (const QString& name : names)
                item(bar->actions().at(1)->menu(), name)->trigger();
            return field->text();
        };
        QCOMPARE(trigger({u"Select All"_s, u"Cut"_s}), QString());
        QCOMPARE(trigger({u"Undo"_s}), u"hello"_s);
        QCOMPARE(trigger({u"Select All"_s, u"Copy"_s, u"Paste"_s, u"Paste"_s}), u"hellohello"_s);
    }

    // A later launch passes the launcher's activation token on when it is one. Of what other local
    // programs may send, only a present request presents, and a line past the bound is cut off unread.
    // launched: a later launch brings the token sent; otherwise sent is written to the socket.
    void presentRequests_data()
    {
        addColumns<bool, QByteArray, bool, QByteArray>("launched", "sent", "presents", "token");
        const QByteArray longest(SingleInstance::maxActivationTokenBytes, 't');
        const QByteArray token("sway/1a2b-3c_4d.5e");
        QTest::newRow("launch with a token") << true << token << true << token;
        QTest::newRow("launch with a token past the bound") << true << longest + 't' << true << QByteArray();
        QTest::newRow("launch with a token with a space")
            << true << QByteArray("a b") << true << QByteArray();
        QTest::newRow("without a token") << false << QByteArray("present\n") << true << QByteArray();
        QTest::newRow("the longest line") << false << "present " + longest + '\n' << true << longest;
        QTest::newRow("a line past the bound") << false << "present " + longest + "t\n"
                                               << false << QByteArray();
        QTest::newRow("a control character")
            << false << QByteArray("present a\x01b\n") << true << QByteArray();
        QTest::newRow("another word") << false << QByteArray("presently\n") << false << QByteArray();
    }
    void presentRequests()
    {
        QFETCH(bool, launched);
        QFETCH(QByteArray, sent);
        QFETCH(bool, presents);
        QFETCH(QByteArray, token);
        QTemporaryDir root;
        SingleInstance first(root.path());
        QCOMPARE(first.claim(), SingleInstance::Claim::primary);
        QSignalSpy presented(&first, &SingleInstance::presentRequested);
        if (launched) {
            // The later launch blocks until answered, so it runs beside this event loop.
            std::atomic<int> claim{-1};
            std::thread launch(
                [&] { claim = static_cast<int>(SingleInstance(root.path()).claim(true, sent)); });
            const bool answered = presented.wait(10000);
            launch.join();
            QVERIFY(answered && claim == static_cast<int>(SingleInstance::Claim::secondary));
        } else {
            QLocalSocket client;
            client.connectToServer(first.socketPath());
            QVERIFY(client.waitForConnected(5000));
            client.write(sent);
            QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 10000);
        }
        QCOMPARE(presented.size(), presents ? 1 : 0);
        if (presents)
            QCOMPARE(presented.first().first().toByteArray(), token);
    }

    // A compositor's binding runs `clipwell --quick-paste`: the running instance hears of the chord and
    // presents nothing; with none running, the launch starts one in the background.
    void quickPasteLaunchReachesTheFirst()
    {
        const auto parsed = ClipwellApp::parseCommandLine({u"clipwell"_s, u"--quick-paste"_s});
        const auto* options = std::get_if<ClipwellApp::Options>(&parsed);
        QVERIFY(options && options->quickPaste && options->background);
        QTemporaryDir root;
        QVERIFY(!SingleInstance::sendQuickPaste(root.path()));
        SingleInstance first(root.path());
        QCOMPARE(first.claim(), SingleInstance::Claim::primary);
        QSignalSpy presented(&first, &SingleInstance::presentRequested);
        QSignalSpy quickPastes(&first, &SingleInstance::quickPasteRequested);
        // The line sent before the application object exists, and the claim that follows when it fails.
        for (const bool early : {true, false}) {
            std::atomic<bool> reached = false;
            std::thread launch([&] {
                reached = early ? SingleInstance::sendQuickPaste(root.path())
                                : SingleInstance(root.path()).claimForQuickPaste() ==
                                      SingleInstance::Claim::secondary;
            });
            const bool answered = quickPastes.wait(10000);
            launch.join();
            QVERIFY(answered && reached);
        }
        QCOMPARE(presented.size() + quickPastes.size(), 2);
    }

    void refusesAFolderOthersCanOpen()
    {
        QTemporaryDir root;
        QVERIFY(QFile::setPermissions(root.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner | QFileDevice::ExeOther));
        SingleInstance instance(root.path());
        QCOMPARE(instance.claim(), SingleInstance::Claim::failed);
        QVERIFY(instance.errorString().contains(root.path()));
    }

    // Whatever other local programs do to the socket, memory and descriptors stay bounded and a later
    // launch still gets through.
    void connectionsThatHogAreClosed_data()
    {
        addColumns<int, int, int, int>("hogs", "bytes", "idleMs", "closed");
        QTest::newRow("one that says nothing") << 1 << 0 << 100 << 1;
        QTest::newRow("one line that never ends") << 1 << 65536 << 3600000 << 1;
        const int many = SingleInstance::maxConnections + 12;
        QTest::newRow("more than are served at once") << many << 0 << 3600000 << 12;
    }
    void connectionsThatHogAreClosed()
    {
        QFETCH(int, hogs);
        QFETCH(int, bytes);
        QFETCH(int, idleMs);
        QFETCH(int, closed);
        QTemporaryDir root;
        SingleInstance first(root.path());
        first.setIdleTimeout(std::chrono::milliseconds(idleMs));
        QCOMPARE(first.claim(), SingleInstance::Claim::primary);
        std::vector<std::unique_ptr<QLocalSocket>> clients;
        for (int i = 0; i < hogs; ++i) {
            clients.push_back(std::make_unique<QLocalSocket>());
            clients.back()->connectToServer(first.socketPath());
            QVERIFY(clients.back()->waitForConnected(5000));
            clients.back()->write(QByteArray(bytes, 'x'));
        }
        const auto cut = [&] {
            return static_cast<int>(std::count_if(clients.begin(), clients.end(), [](const auto& client) {
                return client->state() == QLocalSocket::UnconnectedState;
            }));
        };
        QTRY_COMPARE_WITH_TIMEOUT(cut(), closed, 20000);
        // Those that leave free their place.
        clients.clear();
        QSignalSpy presented(&first, &SingleInstance::presentRequested);
        std::atomic<int> claim{-1};
        std::thread launch([&] { claim = static_cast<int>(SingleInstance(root.path()).claim()); });
        const bool answered = presented.wait(10000);
        launch.join();
        QVERIFY(answered && claim == static_cast<int>(SingleInstance::Claim::secondary));
    }

    // Without a runtime folder the instance lives in the user's own folders, where no one else can
    // have made its folder first.
    void worksWithoutRuntimeFolder()
    {
        QTemporaryDir tmp;
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), tmpdir = qgetenv("TMPDIR");
        const auto restore = qScopeGuard([&] {
            for (const auto& [name, value] :
                 {std::pair{"XDG_RUNTIME_DIR", runtime}, std::pair{"TMPDIR", tmpdir}})
                value.isNull() ? qunsetenv(name) : qputenv(name, value);
        });
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        QVERIFY(QFile(tmp.filePath(u"clipwell-%1"_s.arg(::getuid()))).open(QIODevice::WriteOnly));
        SingleInstance instance;
        QCOMPARE(instance.claim(), SingleInstance::Claim::primary);
        QVERIFY(!instance.socketPath().startsWith(tmp.path()));
    }

    // Under openbox, keys come from the server and held ones auto-repeat: Ctrl+W still held (or never
    // released by the tool that typed it) keeps repeating into the window brought back, which stays.
    void heldCloseShortcutDoesNotCloseAgain()
    {
        QProcess windowManager;
        QVERIFY2(startWindowManager(windowManager), "openbox is needed");
        const auto release = qScopeGuard([] {
            QProcess::execute(u"xdotool"_s, {u"keyup"_s, u"w"_s, u"ctrl"_s});
        });
        Harness h;
        // Openbox may refuse a new window the focus after earlier tests' windows; a pager's request
        // (what xdotool sends) it always grants. A loaded machine may take a while to map it.
        QVERIFY(QTest::qWaitForWindowExposed(h.window(), 20000));
        QCOMPARE(QProcess::execute(u"xdotool"_s,
                                   {u"windowactivate"_s, u"--sync"_s, QString::number(h.window()->winId())}),
                 0);
        QVERIFY(QTest::qWaitForWindowActive(h.window(), 10000));
        EventCounter shortcuts([](QObject*, QEvent* event) { return event->type() == QEvent::Shortcut; });
        EventCounter presses([](QObject* watched, QEvent* event) {
            return watched->isWindowType() && event->type() == QEvent::KeyPress &&
                   static_cast<QKeyEvent*>(event)->key() == Qt::Key_W;
        });
        QCOMPARE(QProcess::execute(u"xdotool"_s, {u"keydown"_s, u"ctrl+w"_s}), 0);
        QTRY_VERIFY(!h.window()->isVisible());
        QCOMPARE(shortcuts.count, 1);

        h.coordinator->handleReopen();
        QVERIFY(QTest::qWaitForWindowActive(h.window(), 20000));
        shortcuts.count = presses.count = 0;
        QTRY_VERIFY_WITH_TIMEOUT(presses.count >= 5 || shortcuts.count > 0 || !h.window()->isVisible(),
                                 20000);
        QCOMPARE(shortcuts.count, 0);
        QVERIFY(h.window()->isVisible());
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
