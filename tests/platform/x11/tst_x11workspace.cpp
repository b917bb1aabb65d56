#include "platform/x11/X11Workspace.h"
#include "services/PasteTarget.h"
#include "support/TestColumns.h"
#include "support/x11/WindowManager.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QProcess>
#include <QRasterWindow>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

using OptionalApp = std::optional<RunningApplication>;
Q_DECLARE_METATYPE(OptionalApp)

using namespace Qt::StringLiterals;

class TestX11Workspace : public QObject {
    Q_OBJECT

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    QTemporaryDir m_data;

    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t result = reply->atom;
        std::free(reply);
        return result;
    }

    void set(xcb_window_t window, const char* name, xcb_atom_t type, const QList<quint32>& values)
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(name), type, 32,
                            static_cast<uint32_t>(values.size()), values.constData());
        // A round trip, so that the change is made before the workspace looks.
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    // A pid of 0 is none.
    xcb_window_t makeWindow(const QByteArray& wmClass, quint32 pid, bool dock = false)
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        if (!wmClass.isNull())
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                                XCB_ATOM_STRING, 8, static_cast<uint32_t>(wmClass.size()),
                                wmClass.constData());
        if (pid)
            set(window, "_NET_WM_PID", XCB_ATOM_CARDINAL, {pid});
        if (dock)
            set(window, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {atom("_NET_WM_WINDOW_TYPE_DOCK")});
        return window;
    }

    QString desktopFile(const QString& relativePath) const
    {
        return m_data.filePath(u"applications/"_s + relativePath + u".desktop"_s);
    }

    X11Workspace workspace() { return X11Workspace(m_connection, DesktopEntryIndex({m_data.path()})); }

    // Quiet: it fails until the window manager runs.
    static bool xdotool(const QStringList& arguments)
    {
        QProcess process;
        process.start(u"xdotool"_s, arguments);
        return process.waitForFinished() && process.exitCode() == 0;
    }
    static bool activate(quint64 window)
    {
        return xdotool({u"windowactivate"_s, u"--sync"_s, QString::number(window)});
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_connection = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        QImage red(8, 8, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(m_data.filePath(u"red.png"_s)));
        const QList<std::pair<QString, QByteArray>> entries{
            {u"org.example.Editor"_s, "Type=Application\nName=Example Editor\nName[zh_CN]=示例编辑器\n"
                                      "Name[zh]=编辑器\nStartupWMClass=ExampleEditor\nExec=editor\n"},
            {u"tools/calc"_s, "Type=Application\nName=Calculator\\sPlus\n"},
            {u"gone"_s, "Type=Application\nName=Gone\nHidden=true\n"},
            {u"link"_s, "Type=Link\nName=A link\nURL=https://example.com\n"},
            {u"helper"_s, "Type=Application\nName=Example Editor\nNoDisplay=true\n"},
            {u"twin-a"_s, "Type=Application\nName=Twin\n"},
            {u"twin-b"_s, "Type=Application\nName=Other\nName[de]=Twin\n"},
            {u"painted"_s, "Type=Application\nName=Painted\nIcon=" + m_data.filePath(u"red.png"_s).toUtf8()},
            {u"unthemed"_s, "Type=Application\nName=Unthemed\nIcon=no-such-icon-anywhere\n"},
        };
        for (const auto& [name, contents] : entries) {
            QDir().mkpath(QFileInfo(desktopFile(name)).absolutePath());
            QFile file(desktopFile(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Desktop Entry]\n" + contents);
        }
    }

    void frontmostApplication_data()
    {
        addColumns<QByteArray, quint32, QString, OptionalApp>("wmClass", "pid", "locale", "expected");

        const auto app = [this](const QString& name, const QString& id, qint64 pid,
                                const QString& file = {}) {
            return OptionalApp(
                {name, id, pid, true, file.isEmpty() ? std::nullopt : std::optional(desktopFile(file))});
        };
        const QByteArray editor("editor\0ExampleEditor\0", 21);
        QTest::newRow("StartupWMClass names the entry")
            << editor << quint32(4242) << u"en_US"_s
            << app(u"Example Editor"_s, u"org.example.Editor"_s, 4242, u"org.example.Editor"_s);
        QTest::newRow("localized name for the interface locale")
            << editor << quint32(7) << u"zh_CN"_s
            << app(u"示例编辑器"_s, u"org.example.Editor"_s, 7, u"org.example.Editor"_s);
        QTest::newRow("language-only name as fallback")
            << editor << quint32(7) << u"zh_TW"_s
            << app(u"编辑器"_s, u"org.example.Editor"_s, 7, u"org.example.Editor"_s);
        QTest::newRow("desktop-file id in a subfolder, any case")
            << QByteArray("TOOLS-CALC\0Calc\0", 16) << quint32(0) << u"en_US"_s
            << app(u"Calculator Plus"_s, u"tools-calc"_s, 0, u"tools/calc"_s);
        QTest::newRow("hidden entries and links do not count")
            << QByteArray("gone\0link\0", 10) << quint32(9) << u"en_US"_s << app(u"link"_s, u"link"_s, 9);
        QTest::newRow("no WM_CLASS: the process only")
            << QByteArray() << quint32(31) << u"en_US"_s
            << OptionalApp(RunningApplication{std::nullopt, std::nullopt, 31, true});
        QTest::newRow("neither class nor pid") << QByteArray() << quint32(0) << u"en_US"_s << OptionalApp();
    }

    void frontmostApplication()
    {
        QFETCH(QByteArray, wmClass);
        QFETCH(quint32, pid);
        QFETCH(QString, locale);
        QFETCH(OptionalApp, expected);
        QLocale::setDefault(QLocale(locale));
        const xcb_window_t window = makeWindow(wmClass, pid);
        set(m_root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {window});
        QCOMPARE(workspace().frontmostApplication(), expected);
        xcb_destroy_window(m_connection, window);
        QLocale::setDefault(QLocale::c());
    }

    void runningApplications()
    {
        const QByteArray editor("editor\0ExampleEditor\0", 21), tool("tool\0Tool\0", 10);
        const QByteArray helper("helper\0Helper\0", 14), calc("calc\0Calc\0", 10);
        QList<xcb_window_t> windows;
        windows << makeWindow(editor, 102, true) << makeWindow(editor, 100) << makeWindow(helper, 103)
                << makeWindow(editor, 101) << makeWindow(tool, 104) << makeWindow(tool, 104)
                << makeWindow({}, 0) << makeWindow(tool, 107, true) << makeWindow(calc, 105);
        xcb_destroy_window(m_connection, windows.last());
        set(m_root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, windows);
        QLocale::setDefault(QLocale(u"en_US"_s));
        const QList<RunningApplication> expected{
            // The dock is not an application window, but the editor's own window makes it one.
            {u"Example Editor"_s, u"org.example.Editor"_s, 102, true, desktopFile(u"org.example.Editor"_s)},
            {u"Example Editor"_s, u"helper"_s, 103, false, desktopFile(u"helper"_s)},
            {u"Tool"_s, u"Tool"_s, 104, true, std::nullopt},
            {u"Tool"_s, u"Tool"_s, 107, false, std::nullopt},
        };
        QCOMPARE(workspace().runningApplications(), expected);
        for (const xcb_window_t window : windows.first(windows.size() - 1))
            xcb_destroy_window(m_connection, window);
        QLocale::setDefault(QLocale::c());
    }

    void installedApplications_data()
    {
        addColumns<bool, QString, QStringList>("byIdentifier", "query", "expected");
        QTest::newRow("by id") << true << u"org.example.Editor"_s
                               << QStringList{desktopFile(u"org.example.Editor"_s)};
        QTest::newRow("by id, kept out of menus")
            << true << u"helper"_s << QStringList{desktopFile(u"helper"_s)};
        QTest::newRow("ids are exact") << true << u"ORG.EXAMPLE.EDITOR"_s << QStringList();
        QTest::newRow("by name, a namesake kept out of menus left out")
            << false << u"Example Editor"_s << QStringList{desktopFile(u"org.example.Editor"_s)};
        QTest::newRow("by name, every namesake, localised too")
            << false << u"Twin"_s << QStringList{desktopFile(u"twin-a"_s), desktopFile(u"twin-b"_s)};
        QTest::newRow("names are exact") << false << u"example editor"_s << QStringList();
    }

    void installedApplications()
    {
        QFETCH(bool, byIdentifier);
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        QStringList urls;
        if (!byIdentifier)
            urls = workspace().installedApplicationURLs(query);
        else if (const std::optional<QString> url = workspace().applicationURL(query))
            urls.append(*url);
        urls.sort();
        QCOMPARE(urls, expected);
    }

    void applicationIcon()
    {
        const QIcon painted = workspace().applicationIcon(desktopFile(u"painted"_s));
        QCOMPARE(painted.pixmap(QSize(8, 8), 1.0).toImage().pixelColor(4, 4), QColor(Qt::red));
        QVERIFY(workspace().applicationIcon(desktopFile(u"unthemed"_s)).isNull());
    }

    // Last: the window manager takes over the root window's properties.
    void pasteTargetUnderAWindowManager()
    {
        X11Workspace workspace = this->workspace();
        // Shown before the window manager runs, which might place one under the other.
        QRasterWindow first, second;
        first.show(), second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first) && QTest::qWaitForWindowExposed(&second));
        QProcess windowManager;
        QVERIFY2(startWindowManager(windowManager), "openbox is needed");
        const qint64 self = QCoreApplication::applicationPid();
        QTRY_VERIFY_WITH_TIMEOUT(activate(first.winId()), 10000);
        // The window manager may still be settling the active window.
        std::optional<PasteTarget> own;
        QTRY_VERIFY_WITH_TIMEOUT((own = PasteTarget::capture(workspace, 0)) &&
                                     own->isStillCurrent(workspace) &&
                                     own->focusedElement == FocusedElement{first.winId()},
                                 10000);
        const xcb_window_t field = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, field, first.winId(), 0, 0, 5, 5, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_map_window(m_connection, field);
        xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_PARENT, field, XCB_CURRENT_TIME);
        QVERIFY(workspace.focusedElement(self) == FocusedElement{field} && !own->isStillCurrent(workspace));

        int activated = 0, spaceChanged = 0;
        workspace.observe({[&] { ++activated; }, [&] { ++spaceChanged; }, {}, {}});
        QVERIFY(activate(second.winId()));
        QTRY_VERIFY_WITH_TIMEOUT(workspace.focusedElement(self) == FocusedElement{second.winId()}, 10000);
        QVERIFY(!own->isStillCurrent(workspace));
        QTRY_VERIFY(activated > 0);
        set(m_root, "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL, {0}); // the same again: no change
        const int activatedBefore = activated;
        QVERIFY(activate(first.winId()));
        QTRY_VERIFY_WITH_TIMEOUT(own->isStillCurrent(workspace), 10000);
        QTRY_VERIFY(activated > activatedBefore);
        QCOMPARE(spaceChanged, 0);

        // Another process's window, left behind on the server when that process exits.
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(), {u"--window"_s});
        QVERIFY(other.waitForReadyRead(20000));
        const quint64 otherWindow = other.readLine().trimmed().toULongLong();
        QVERIFY(activate(otherWindow));
        QTRY_VERIFY_WITH_TIMEOUT(workspace.focusedElement(other.processId()) == FocusedElement{otherWindow},
                                 10000);
        QVERIFY(!own->isStillCurrent(workspace));
        QVERIFY(!workspace.focusedElement(self));
        const std::optional<PasteTarget> foreign = PasteTarget::capture(workspace, self);
        QVERIFY(foreign && foreign->focusedElement && foreign->isStillCurrent(workspace));
        other.write("quit\n");
        QVERIFY(other.waitForFinished(20000));
        QCOMPARE(workspace.frontmostApplication(), std::optional(foreign->application));
        QVERIFY(!foreign->isStillCurrent(workspace));

        QVERIFY(xdotool({u"set_desktop"_s, u"1"_s}));
        QTRY_COMPARE(spaceChanged, 1);
    }
};

// With --window: a window of another process, whose id it prints; any input makes it exit and leave
// the window behind.
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (app.arguments().contains(u"--window"_s)) {
        QRasterWindow window;
        window.show();
        QTextStream(stdout) << window.winId() << Qt::endl;
        QSocketNotifier input(0, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, [&app] {
            xcb_connection_t* connection =
                app.nativeInterface<QNativeInterface::QX11Application>()->connection();
            xcb_set_close_down_mode(connection, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
            std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
            std::_Exit(0);
        });
        return app.exec();
    }
    TestX11Workspace test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_x11workspace.moc"
