#include "app/AppModel.h"
#include "app/Preferences.h"
#include "l10n/Localization.h"
#include "shell/AppCoordinator.h"
#include "shell/MainMenu.h"
#include "shell/TerminationSignals.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/history/MainWindowController.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <csignal>

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
    void popUpMenu(std::unique_ptr<QMenu> popUp) override { menu = std::move(popUp); }
    void click(Click click) { Q_EMIT clicked(click); }

    QString toolTip;
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

    explicit Harness(bool paused = false, bool realAlert = false)
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
        coordinator->start();
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

// Notices the unsaved-history alert coming up.
class AlertWatch final : public QObject {
public:
    bool shown = false;
    std::function<void()> onShown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QMessageBox*>(watched) &&
            !std::exchange(shown, true) && onShown)
            onShown();
        return QObject::eventFilter(watched, event);
    }
};

enum class Presenter { statusLeftClick, reopen, statusMenuItem, mainMenuItem };

} // namespace

Q_DECLARE_METATYPE(Presenter)
Q_DECLARE_METATYPE(AppCoordinator::QuitChoice)

class TestAppCoordinator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // A language change builds the bar anew.
    void mainMenu_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<int>("menu");
        QTest::addColumn<QString>("items");

        QTest::newRow("application")
            << false << 0
            << u"Clipwell: About Clipwell | - | Settings… Ctrl+, (off) | Open History "
               "Ctrl+0 | - | Hide Clipwell Ctrl+H | - | Quit Clipwell Ctrl+Q"_s;
        QTest::newRow("edit")
            << false << 1
            << u"Edit: Undo Ctrl+Z | Cut Ctrl+X | Copy Ctrl+C | Paste Ctrl+V | Select All Ctrl+A"_s;
        QTest::newRow("window") << false << 2 << u"Window: Minimize Ctrl+M | Close Ctrl+W"_s;
        QTest::newRow("application in Chinese") << true << 0
                                                << u"Clipwell: 关于 Clipwell | - | 设置… Ctrl+, (off) | "
                                                   u"打开历史记录 Ctrl+0 | - | 隐藏 Clipwell Ctrl+H | "
                                                   "- | 退出 Clipwell Ctrl+Q"_s;
    }

    void mainMenu()
    {
        QFETCH(bool, chinese);
        QFETCH(int, menu);
        QFETCH(QString, items);
        Harness h;
        QCOMPARE(h.status->toolTip, u"Clipwell – clipboard history"_s);
        const QPointer<QMenuBar> before = h.menuBar();
        if (chinese) {
            h.localization.select(AppLanguage::simplifiedChinese);
            QVERIFY(h.menuBar() != before);
        }
        QCOMPARE(h.menuBar()->actions().size(), 3);
        QCOMPARE(h.menuBar()->actions().at(menu)->text() + u": "_s + describe(h.menu(menu)), items);
    }

    // The system's languages are read again on a locale change and when Clipwell becomes active; the
    // tooltip follows.
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
            Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
            QCOMPARE(h.localization.languageIdentifier(), u"en"_s);
            Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationActive);
        } else {
            QEvent change(QEvent::LocaleChange);
            QCoreApplication::sendEvent(qApp, &change);
        }
        QCOMPARE(h.localization.languageIdentifier(), u"zh-Hans"_s);
        QCOMPARE(h.status->toolTip, u"Clipwell – 剪贴板历史"_s);
    }

    void presentsTheHistoryWindow_data()
    {
        QTest::addColumn<Presenter>("presenter");
        QTest::newRow("status item left click") << Presenter::statusLeftClick;
        QTest::newRow("launched again") << Presenter::reopen;
        QTest::newRow("status menu") << Presenter::statusMenuItem;
        QTest::newRow("main menu") << Presenter::mainMenuItem;
    }

    void presentsTheHistoryWindow()
    {
        QFETCH(Presenter, presenter);
        Harness h;
        QVERIFY(h.window()->isVisible());
        item(h.menu(0), u"Hide Clipwell"_s)->trigger();
        QVERIFY(!h.window()->isVisible());
        switch (presenter) {
        case Presenter::statusLeftClick:
            h.status->click(StatusItem::Click::left);
            QVERIFY(!h.status->menu);
            break;
        case Presenter::reopen:
            h.coordinator->handleReopen();
            break;
        case Presenter::statusMenuItem:
            h.status->click(StatusItem::Click::right);
            h.status->menu->actions().at(0)->trigger();
            break;
        case Presenter::mainMenuItem:
            item(h.menu(0), u"Open History"_s)->trigger();
            break;
        }
        QVERIFY(h.window()->isVisible());
    }

    void statusMenuFollowsRecordingState_data()
    {
        QTest::addColumn<bool>("paused");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("afterToggle");
        QTest::newRow("recording")
            << false << u"Open History | Pause Recording | - | Settings… (off) | - | Quit Clipwell"_s
            << u"Resume Recording"_s;
        QTest::newRow("paused")
            << true << u"Open History | Resume Recording | - | Settings… (off) | - | Quit Clipwell"_s
            << u"Pause Recording"_s;
    }

    void statusMenuFollowsRecordingState()
    {
        QFETCH(bool, paused);
        QFETCH(QString, menu);
        QFETCH(QString, afterToggle);
        Harness h(paused);
        h.status->click(StatusItem::Click::right);
        QCOMPARE(describe(h.status->menu.get()), menu);
        h.status->menu->actions().at(1)->trigger();
        QCOMPARE(h.model->recordingPaused(), !paused);
        QCOMPARE(h.pasteboard.observing(), paused);
        h.status->click(StatusItem::Click::right);
        QCOMPARE(h.status->menu->actions().at(1)->text(), afterToggle);
    }

    // Every quit writes the history first and asks when that fails. A logout or shutdown never waits
    // on that alert: the second termination signal during it quits.
    void quitFlow_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<AppCoordinator::QuitChoice>("choice");
        QTest::addColumn<bool>("bySignal");
        QTest::addColumn<int>("signalsDuringAlert");
        QTest::addColumn<bool>("terminated");

        const auto back = AppCoordinator::QuitChoice::returnToApp;
        QTest::newRow("unsaved copy is written") << true << back << false << 0 << true;
        QTest::newRow("unwritable, return") << false << back << false << 0 << false;
        QTest::newRow("unwritable, quit anyway")
            << false << AppCoordinator::QuitChoice::quitAnyway << false << 0 << true;
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

    // The real signals and the real alert: the second signal arrives inside the alert's modal loop.
    void secondSignalClosesTheOpenAlert_data()
    {
        QTest::addColumn<bool>("bothPending");
        QTest::newRow("raised while the alert is open") << false;
        QTest::newRow("both raised before it opens") << true;
    }

    void secondSignalClosesTheOpenAlert()
    {
        QFETCH(bool, bothPending);
        Harness h(false, true);
        QVERIFY(h.copy(false));
        TerminationSignals terminationSignals;
        QVERIFY(terminationSignals.isActive());
        connect(&terminationSignals, &TerminationSignals::received, h.coordinator.get(),
                &AppCoordinator::terminationSignalReceived);
        AlertWatch alert;
        if (!bothPending)
            alert.onShown = [] { ::raise(SIGTERM); };
        qApp->installEventFilter(&alert);
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
        if (bothPending)
            ::raise(SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(h.terminations == 1 || closedByTest, 30000);
        QVERIFY(alert.shown);
        QVERIFY(!closedByTest);
        QVERIFY(h.status.isNull());
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
};

QTEST_MAIN(TestAppCoordinator)
#include "tst_appcoordinator.moc"
