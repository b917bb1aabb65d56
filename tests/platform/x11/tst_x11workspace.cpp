#include "platform/x11/X11Workspace.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

Q_DECLARE_METATYPE(std::optional<RunningApplication>)
Q_DECLARE_METATYPE(QList<RunningApplication>)
Q_DECLARE_METATYPE(std::optional<QString>)

using namespace Qt::StringLiterals;

char* toString(const RunningApplication& application)
{
    const QString text = QStringLiteral("{%1, %2, %3, regular %4, %5}")
                             .arg(application.localizedName.value_or(QStringLiteral("-")),
                                  application.bundleIdentifier.value_or(QStringLiteral("-")))
                             .arg(application.processIdentifier)
                             .arg(application.isRegular)
                             .arg(application.bundleURL.value_or(QStringLiteral("-")));
    return qstrdup(text.toUtf8().constData());
}

namespace {

void writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

} // namespace

// Windows are made on a connection of the test's own, as another application's would be.
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

    xcb_window_t makeWindow(const QByteArray& wmClass, std::optional<quint32> pid, const char* type = nullptr)
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        if (!wmClass.isNull()) {
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                                XCB_ATOM_STRING, 8, static_cast<uint32_t>(wmClass.size()),
                                wmClass.constData());
        }
        if (pid) {
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"),
                                XCB_ATOM_CARDINAL, 32, 1, &*pid);
        }
        if (type) {
            const xcb_atom_t typeAtom = atom(type);
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_TYPE"),
                                XCB_ATOM_ATOM, 32, 1, &typeAtom);
        }
        return window;
    }

    void setActive(xcb_window_t window)
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_root, atom("_NET_ACTIVE_WINDOW"),
                            XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_aux_sync();
    }

    void setClientList(const QList<xcb_window_t>& windows)
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_root, atom("_NET_CLIENT_LIST"),
                            XCB_ATOM_WINDOW, 32, static_cast<uint32_t>(windows.size()), windows.constData());
        xcb_aux_sync();
    }

    QString desktopFile(const char* relativePath) const
    {
        return m_data.filePath(QStringLiteral("applications/") + QString::fromUtf8(relativePath));
    }

    void xcb_aux_sync()
    {
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    X11Workspace workspace()
    {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        return X11Workspace(x11->connection(), DesktopEntryIndex({m_data.path()}));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(qApp->nativeInterface<QNativeInterface::QX11Application>());
        m_connection = xcb_connect(nullptr, nullptr);
        QVERIFY(!xcb_connection_has_error(m_connection));
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        writeFile(m_data.filePath(QStringLiteral("applications/org.example.Editor.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Example Editor\nName[zh_CN]=示例编辑器\n"
                  "Name[zh]=编辑器\nStartupWMClass=ExampleEditor\nExec=editor\n");
        writeFile(m_data.filePath(QStringLiteral("applications/tools/calc.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Calculator\\sPlus\n");
        writeFile(m_data.filePath(QStringLiteral("applications/gone.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n");
        writeFile(m_data.filePath(QStringLiteral("applications/link.desktop")),
                  "[Desktop Entry]\nType=Link\nName=A link\nURL=https://example.com\n");
        writeFile(m_data.filePath(QStringLiteral("applications/helper.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Example Editor\nNoDisplay=true\n");
        writeFile(m_data.filePath(QStringLiteral("applications/twin-a.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Twin\n");
        writeFile(m_data.filePath(QStringLiteral("applications/twin-b.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Other\nName[de]=Twin\n");
        QImage red(8, 8, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(m_data.filePath(QStringLiteral("red.png"))));
        writeFile(m_data.filePath(QStringLiteral("applications/painted.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Painted\nIcon=" +
                      m_data.filePath(QStringLiteral("red.png")).toUtf8() + "\n");
        writeFile(m_data.filePath(QStringLiteral("applications/unthemed.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Unthemed\nIcon=no-such-icon-anywhere\n");
    }

    void cleanupTestCase() { xcb_disconnect(m_connection); }

    void frontmostApplication_data()
    {
        QTest::addColumn<QByteArray>("wmClass");
        QTest::addColumn<std::optional<quint32>>("pid");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<std::optional<RunningApplication>>("expected");

        const auto app = [this](const char* name, const char* id, qint64 pid, const char* file = nullptr) {
            RunningApplication application{QString::fromUtf8(name), QString::fromUtf8(id), pid, true};
            if (file)
                application.bundleURL = desktopFile(file);
            return std::optional<RunningApplication>(application);
        };
        QTest::newRow("StartupWMClass names the entry")
            << QByteArray("editor\0ExampleEditor\0", 21) << std::optional<quint32>(4242)
            << QStringLiteral("en_US")
            << app("Example Editor", "org.example.Editor", 4242, "org.example.Editor.desktop");
        QTest::newRow("localized name for the interface locale")
            << QByteArray("editor\0ExampleEditor\0", 21) << std::optional<quint32>(7)
            << QStringLiteral("zh_CN")
            << app("示例编辑器", "org.example.Editor", 7, "org.example.Editor.desktop");
        QTest::newRow("language-only name as fallback")
            << QByteArray("editor\0ExampleEditor\0", 21) << std::optional<quint32>(7)
            << QStringLiteral("zh_TW")
            << app("编辑器", "org.example.Editor", 7, "org.example.Editor.desktop");
        QTest::newRow("desktop-file id in a subfolder, any case")
            << QByteArray("TOOLS-CALC\0Calc\0", 16) << std::optional<quint32>() << QStringLiteral("en_US")
            << app("Calculator Plus", "tools-calc", 0, "tools/calc.desktop");
        QTest::newRow("hidden entries and links do not count")
            << QByteArray("gone\0link\0", 10) << std::optional<quint32>(9) << QStringLiteral("en_US")
            << app("link", "link", 9);
        QTest::newRow("no WM_CLASS: the process only")
            << QByteArray() << std::optional<quint32>(31) << QStringLiteral("en_US")
            << std::optional<RunningApplication>(RunningApplication{std::nullopt, std::nullopt, 31, true});
        QTest::newRow("neither class nor pid")
            << QByteArray() << std::optional<quint32>() << QStringLiteral("en_US")
            << std::optional<RunningApplication>();
    }

    void frontmostApplication()
    {
        QFETCH(QByteArray, wmClass);
        QFETCH(std::optional<quint32>, pid);
        QFETCH(QString, locale);
        QFETCH(std::optional<RunningApplication>, expected);
        QLocale::setDefault(QLocale(locale));
        const xcb_window_t window = makeWindow(wmClass, pid);
        setActive(window);
        QCOMPARE(workspace().frontmostApplication(), expected);
        xcb_destroy_window(m_connection, window);
        QLocale::setDefault(QLocale::c());
    }

    void noActiveWindow_data()
    {
        QTest::addColumn<bool>("destroyed");
        QTest::newRow("none") << false;
        QTest::newRow("stale") << true;
    }

    void noActiveWindow()
    {
        QFETCH(bool, destroyed);
        xcb_window_t window = XCB_WINDOW_NONE;
        if (destroyed) {
            window = makeWindow(QByteArray("a\0A\0", 4), 1);
            xcb_destroy_window(m_connection, window);
        }
        setActive(window);
        QCOMPARE(workspace().frontmostApplication(), std::optional<RunningApplication>());
    }

    void runningApplications()
    {
        const QByteArray editorClass("editor\0ExampleEditor\0", 21);
        const xcb_window_t editor = makeWindow(editorClass, 100);
        const xcb_window_t editorAgain = makeWindow(editorClass, 101);
        const xcb_window_t dock = makeWindow(editorClass, 102, "_NET_WM_WINDOW_TYPE_DOCK");
        const xcb_window_t helper = makeWindow(QByteArray("helper\0Helper\0", 14), 103);
        const xcb_window_t unknown = makeWindow(QByteArray("tool\0Tool\0", 10), 104);
        const xcb_window_t unknownAgain = makeWindow(QByteArray("tool\0Tool\0", 10), 104);
        const xcb_window_t anonymous = makeWindow(QByteArray(), std::nullopt);
        const xcb_window_t gone = makeWindow(QByteArray("calc\0Calc\0", 10), 105);
        xcb_destroy_window(m_connection, gone);
        setClientList({dock, editor, helper, editorAgain, unknown, unknownAgain, anonymous, gone});
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));

        const QString editorFile = desktopFile("org.example.Editor.desktop");
        const QList<RunningApplication> expected{
            // The dock is not an application window, but the editor's own window makes it one.
            {u"Example Editor"_s, u"org.example.Editor"_s, 102, true, editorFile},
            {u"Example Editor"_s, u"helper"_s, 103, false, desktopFile("helper.desktop")},
            {u"Tool"_s, u"Tool"_s, 104, true, std::nullopt},
        };
        QCOMPARE(workspace().runningApplications(), expected);

        setClientList({});
        QCOMPARE(workspace().runningApplications(), QList<RunningApplication>());
        for (const xcb_window_t window :
             {editor, editorAgain, dock, helper, unknown, unknownAgain, anonymous})
            xcb_destroy_window(m_connection, window);
        QLocale::setDefault(QLocale::c());
    }

    void applicationURL_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("top level") << u"org.example.Editor"_s
                                   << std::optional<QString>(desktopFile("org.example.Editor.desktop"));
        QTest::newRow("subfolder") << u"tools-calc"_s
                                   << std::optional<QString>(desktopFile("tools/calc.desktop"));
        QTest::newRow("kept out of menus still installed")
            << u"helper"_s << std::optional<QString>(desktopFile("helper.desktop"));
        QTest::newRow("ids are exact") << u"ORG.EXAMPLE.EDITOR"_s << std::optional<QString>();
        QTest::newRow("hidden") << u"gone"_s << std::optional<QString>();
        QTest::newRow("not an application") << u"link"_s << std::optional<QString>();
        QTest::newRow("empty") << QString() << std::optional<QString>();
    }

    void applicationURL()
    {
        QFETCH(QString, identifier);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(workspace().applicationURL(identifier), expected);
    }

    void installedApplicationURLs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one, NoDisplay namesake left out")
            << u"Example Editor"_s << QStringList{desktopFile("org.example.Editor.desktop")};
        QTest::newRow("localised name")
            << u"示例编辑器"_s << QStringList{desktopFile("org.example.Editor.desktop")};
        QTest::newRow("escapes read")
            << u"Calculator Plus"_s << QStringList{desktopFile("tools/calc.desktop")};
        QTest::newRow("every namesake")
            << u"Twin"_s << QStringList{desktopFile("twin-a.desktop"), desktopFile("twin-b.desktop")};
        QTest::newRow("names are exact") << u"example editor"_s << QStringList();
        QTest::newRow("hidden") << u"Gone"_s << QStringList();
    }

    void installedApplicationURLs()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        QStringList urls = workspace().installedApplicationURLs(name);
        urls.sort();
        QCOMPARE(urls, expected);
    }

    void applicationIcon_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("red");
        QTest::newRow("absolute icon path") << desktopFile("painted.desktop") << true;
        QTest::newRow("icon in no theme") << desktopFile("unthemed.desktop") << false;
        QTest::newRow("no Icon key") << desktopFile("org.example.Editor.desktop") << false;
        QTest::newRow("no such file") << desktopFile("missing.desktop") << false;
    }

    void applicationIcon()
    {
        QFETCH(QString, url);
        QFETCH(bool, red);
        const QIcon icon = workspace().applicationIcon(url);
        QCOMPARE(!icon.isNull(), red);
        if (red)
            QCOMPARE(icon.pixmap(QSize(8, 8), 1.0).toImage().pixelColor(4, 4), QColor(Qt::red));
    }
};

QTEST_MAIN(TestX11Workspace)
#include "tst_x11workspace.moc"
