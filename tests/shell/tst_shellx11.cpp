#include "shell/AppCoordinator.h"
#include "app/AppModel.h"
#include "app/Preferences.h"
#include "l10n/Localization.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/history/MainWindowController.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <xcb/xcb.h>

using namespace Qt::StringLiterals;

namespace {

bool windowManagerRuns()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    const QByteArray name = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.constData()),
        nullptr);
    if (!atom)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_get_property_reply_t* property = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    const bool runs = property && xcb_get_property_value_length(property) > 0;
    free(property);
    free(atom);
    return runs;
}

// W presses that reach the history window as keys, and shortcuts they trigger instead.
class KeyCounter final : public QObject {
public:
    int presses = 0;
    int shortcuts = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched->isWindowType() && event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_W)
            ++presses;
        else if (event->type() == QEvent::Shortcut)
            ++shortcuts;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

// The shell against a real X server with openbox: keys come from the server, held ones auto-repeat.
class TestShellX11 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_windowManager.start(u"openbox"_s, {});
        QVERIFY2(m_windowManager.waitForStarted(), "openbox is needed");
        QTRY_VERIFY_WITH_TIMEOUT(windowManagerRuns(), 10000);
    }

    void cleanupTestCase()
    {
        m_windowManager.terminate();
        m_windowManager.waitForFinished();
    }

    void cleanup() { QProcess::execute(u"xdotool"_s, {u"keyup"_s, u"w"_s, u"ctrl"_s}); }

    // Ctrl+W still held (or never released by the tool that typed it) keeps repeating into the window
    // that is brought back, which must stay open.
    void heldCloseShortcutDoesNotCloseAgain()
    {
        QTemporaryDir root;
        Preferences preferences(root.filePath(u"Clipwell.conf"_s));
        AppLocalization localization(preferences.languageStore(), [] { return QStringList{u"en-US"_s}; });
        FakePasteboard pasteboard;
        FakeWorkspace workspace;
        AppModel model(pasteboard, workspace, preferences, root.filePath(u"history"_s),
                       std::make_unique<ManualDelayTimer>());
        AppCoordinator::Desktop desktop;
        desktop.makeStatusItem = [] { return std::unique_ptr<StatusItem>(); };
        desktop.terminate = [] {};
        AppCoordinator coordinator(model, preferences, localization, desktop);
        coordinator.start();
        QMainWindow* window = coordinator.mainWindow().window();
        QVERIFY(QTest::qWaitForWindowActive(window));

        KeyCounter keys;
        qApp->installEventFilter(&keys);
        QCOMPARE(QProcess::execute(u"xdotool"_s, {u"keydown"_s, u"ctrl+w"_s}), 0);
        QTRY_VERIFY(!window->isVisible());
        QCOMPARE(keys.shortcuts, 1);

        coordinator.handleReopen();
        QVERIFY(QTest::qWaitForWindowActive(window));
        keys.shortcuts = 0;
        keys.presses = 0;
        QTRY_VERIFY_WITH_TIMEOUT(keys.presses >= 5 || keys.shortcuts > 0 || !window->isVisible(), 20000);
        QCOMPARE(keys.shortcuts, 0);
        QVERIFY(window->isVisible());
        coordinator.stop();
    }

private:
    QProcess m_windowManager;
};

QTEST_MAIN(TestShellX11)
#include "tst_shellx11.moc"
