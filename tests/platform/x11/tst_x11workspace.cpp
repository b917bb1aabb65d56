#include "platform/x11/X11Workspace.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

Q_DECLARE_METATYPE(std::optional<RunningApplication>)

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

    xcb_window_t makeWindow(const QByteArray& wmClass, std::optional<quint32> pid)
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
        return window;
    }

    void setActive(xcb_window_t window)
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_root, atom("_NET_ACTIVE_WINDOW"),
                            XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_aux_sync();
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
    }

    void cleanupTestCase() { xcb_disconnect(m_connection); }

    void frontmostApplication_data()
    {
        QTest::addColumn<QByteArray>("wmClass");
        QTest::addColumn<std::optional<quint32>>("pid");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<std::optional<RunningApplication>>("expected");

        const auto app = [](const char* name, const char* id, qint64 pid) {
            return std::optional<RunningApplication>(
                RunningApplication{QString::fromUtf8(name), QString::fromUtf8(id), pid});
        };
        QTest::newRow("StartupWMClass names the entry")
            << QByteArray("editor\0ExampleEditor\0", 21) << std::optional<quint32>(4242)
            << QStringLiteral("en_US") << app("Example Editor", "org.example.Editor", 4242);
        QTest::newRow("localized name for the interface locale")
            << QByteArray("editor\0ExampleEditor\0", 21) << std::optional<quint32>(7)
            << QStringLiteral("zh_CN") << app("示例编辑器", "org.example.Editor", 7);
        QTest::newRow("language-only name as fallback")
            << QByteArray("editor\0ExampleEditor\0", 21) << std::optional<quint32>(7)
            << QStringLiteral("zh_TW") << app("编辑器", "org.example.Editor", 7);
        QTest::newRow("desktop-file id in a subfolder, any case")
            << QByteArray("TOOLS-CALC\0Calc\0", 16) << std::optional<quint32>() << QStringLiteral("en_US")
            << app("Calculator Plus", "tools-calc", 0);
        QTest::newRow("hidden entries and links do not count")
            << QByteArray("gone\0link\0", 10) << std::optional<quint32>(9) << QStringLiteral("en_US")
            << app("link", "link", 9);
        QTest::newRow("no WM_CLASS: the process only")
            << QByteArray() << std::optional<quint32>(31) << QStringLiteral("en_US")
            << std::optional<RunningApplication>(RunningApplication{std::nullopt, std::nullopt, 31});
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
};

QTEST_MAIN(TestX11Workspace)
#include "tst_x11workspace.moc"
