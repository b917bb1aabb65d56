#include "plasma-window-management-client-protocol.h"
#include "platform/wayland/WaylandQuickPasteSeat.h"
#include "platform/wayland/WaylandWorkspace.h"
#include "services/PasteTarget.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <sys/socket.h>
#include <sys/un.h>
#include <wayland-server-core.h>

Q_DECLARE_METATYPE(RunningApplication)

using namespace Qt::StringLiterals;

static int listen(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0)
        qFatal("cannot listen on %s", qPrintable(path));
    return fd;
}

enum class WindowList { none, wlr, kde };
Q_DECLARE_METATYPE(WindowList)

// A compositor of our own, for what sway and KWin cannot be made to do: list no windows, list them
// through an older KDE protocol, or hang up.
class FakeCompositor {
public:
    FakeCompositor(const QString& path, WindowList list) : m_display(wl_display_create())
    {
        wl_display_add_socket_fd(m_display, listen(path));
        m_created.listener.notify = [](wl_listener* listener, void*) {
            ++reinterpret_cast<Created*>(listener)->count;
        };
        wl_display_add_client_created_listener(m_display, &m_created.listener);
        if (list == WindowList::wlr)
            wl_global_create(m_display, &zwlr_foreign_toplevel_manager_v1_interface, 3, this, bind);
        if (list == WindowList::kde)
            wl_global_create(m_display, &org_kde_plasma_window_management_interface, 3, this, bindKde);
        m_notifier.emplace(wl_event_loop_get_fd(wl_display_get_event_loop(m_display)), QSocketNotifier::Read);
        QObject::connect(&*m_notifier, &QSocketNotifier::activated, [this] {
            wl_event_loop_dispatch(wl_display_get_event_loop(m_display), 0);
            wl_display_flush_clients(m_display);
        });
    }
    ~FakeCompositor()
    {
        m_notifier.reset();
        wl_display_destroy_clients(m_display);
        wl_display_destroy(m_display);
    }
    // Every client that came has gone again.
    bool clientsCameAndWent()
    {
        return m_created.count > 0 && wl_list_empty(wl_display_get_client_list(m_display));
    }
    void hangUp() { wl_display_destroy_clients(m_display); }

private:
    static int ignore(const void*, void*, uint32_t, const wl_message*, wl_argument*) { return 0; }
    // One toplevel of org.example.Editor, activated.
    static void bind(wl_client* client, void*, uint32_t version, uint32_t id)
    {
        wl_resource* manager =
            wl_resource_create(client, &zwlr_foreign_toplevel_manager_v1_interface, version, id);
        wl_resource* toplevel =
            wl_resource_create(client, &zwlr_foreign_toplevel_handle_v1_interface, version, 0);
        wl_resource_set_dispatcher(manager, ignore, nullptr, nullptr, nullptr);
        wl_resource_set_dispatcher(toplevel, ignore, nullptr, nullptr, nullptr);
        enum { toplevelEvent = 0, appIdEvent = 1, stateEvent = 4, doneEvent = 5 };
        wl_resource_post_event(manager, toplevelEvent, toplevel);
        wl_resource_post_event(toplevel, appIdEvent, "org.example.Editor");
        wl_array states;
        wl_array_init(&states);
        *static_cast<uint32_t*>(wl_array_add(&states, sizeof(uint32_t))) =
            ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        wl_resource_post_event(toplevel, stateEvent, &states);
        wl_array_release(&states);
        wl_resource_post_event(toplevel, doneEvent);
    }

    // Version 3: windows by internal id, no end of the initial state, no destructor.
    static void bindKde(wl_client* client, void*, uint32_t version, uint32_t id)
    {
        wl_resource* manager =
            wl_resource_create(client, &org_kde_plasma_window_management_interface, version, id);
        wl_resource_set_dispatcher(manager, getWindow, nullptr, nullptr, nullptr);
        enum { windowEvent = 1 };
        wl_resource_post_event(manager, windowEvent, 7u);
    }
    static int getWindow(const void*, void* manager, uint32_t opcode, const wl_message*,
                         wl_argument* arguments)
    {
        if (opcode != ORG_KDE_PLASMA_WINDOW_MANAGEMENT_GET_WINDOW || arguments[1].u != 7)
            return 0;
        wl_resource* window = wl_resource_create(
            wl_resource_get_client(static_cast<wl_resource*>(manager)), &org_kde_plasma_window_interface,
            wl_resource_get_version(static_cast<wl_resource*>(manager)), arguments[0].n);
        wl_resource_set_dispatcher(window, ignore, nullptr, nullptr, nullptr);
        enum { appIdEvent = 1, stateEvent = 2 };
        wl_resource_post_event(window, appIdEvent, "org.example.Editor");
        wl_resource_post_event(window, stateEvent, uint32_t{ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE});
        return 0;
    }

    struct Created {
        wl_listener listener;
        int count = 0;
    };

    wl_display* m_display;
    Created m_created{};
    std::optional<QSocketNotifier> m_notifier;
};

class TestWaylandWorkspace : public QObject {
    Q_OBJECT

    QTemporaryDir m_data;
    // sway lists its windows through wlr foreign-toplevel management, KWin through KDE's own.
    const bool m_kde = qgetenv("XDG_CURRENT_DESKTOP") == "KDE";
    std::vector<std::unique_ptr<QProcess>> m_windows;

    QString desktopFile(const QString& id) const
    {
        return m_data.filePath(u"applications/"_s + id + u".desktop"_s);
    }
    DesktopEntryIndex index() const { return DesktopEntryIndex({m_data.path()}); }

    // A window of another program, which the compositor gives the focus: a terminal on sway (it names
    // itself verbatim, where Qt drops ".desktop"), a Qt window on KWin (where the terminal crashes).
    QProcess& open(const QString& appId)
    {
        auto& window = m_windows.emplace_back(std::make_unique<QProcess>());
        if (m_kde)
            window->start(QStringLiteral(TEST_TEXT_FIELD), {u"--app-id"_s, appId});
        else
            window->start(u"foot"_s, {u"--app-id"_s, appId, u"sleep"_s, u"600"_s});
        return *window;
    }
    static qint64 frontmostIdentifier(const Workspace& workspace)
    {
        return workspace.frontmostApplication().value_or(RunningApplication()).processIdentifier;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(!qEnvironmentVariableIsEmpty("SWAYSOCK") || m_kde);
        const QList<std::pair<QString, QByteArray>> entries{
            {u"org.example.Editor"_s, "Name=Example Editor\n"},
        };
        QDir().mkpath(m_data.filePath(u"applications"_s));
        for (const auto& [id, contents] : entries) {
            QFile file(desktopFile(id));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Desktop Entry]\nType=Application\nExec=true\n" + contents);
        }
    }
    void cleanup()
    {
        for (const std::unique_ptr<QProcess>& window : std::exchange(m_windows, {})) {
            window->kill();
            window->waitForFinished();
        }
    }

    void frontmostApplication_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<RunningApplication>("expected");
        const RunningApplication editor{u"Example Editor"_s, u"org.example.Editor"_s, 0, true,
                                        desktopFile(u"org.example.Editor"_s)};
        QTest::newRow("desktop-file id") << u"org.example.Editor"_s << editor;
        if (!m_kde)
            QTest::newRow("desktop file name") << u"org.example.Editor.desktop"_s << editor;
        QTest::newRow("no desktop entry")
            << u"no-entry"_s << RunningApplication{u"no-entry"_s, u"no-entry"_s, 0, true};
        QTest::newRow("our own window") << u"clipwell-test"_s
                                        << RunningApplication{u"clipwell-test"_s, u"clipwell-test"_s,
                                                              QCoreApplication::applicationPid(), true};
    }

    void frontmostApplication()
    {
        QFETCH(QString, appId);
        QFETCH(RunningApplication, expected);
        WaylandWorkspace workspace(qgetenv("WAYLAND_DISPLAY"), index(), u"clipwell-test"_s);
        QProcess& window = open(appId);
        QTRY_COMPARE(workspace.frontmostWindowClasses(), QStringList{appId});
        std::optional<RunningApplication> frontmost = workspace.frontmostApplication();
        QVERIFY(frontmost);
        const bool ours = expected.processIdentifier == QCoreApplication::applicationPid();
        if (!ours) {
            // Another application's window: an identity that no process of ours can have.
            QVERIFY(frontmost->processIdentifier > 0);
            QCOMPARE_NE(frontmost->processIdentifier, QCoreApplication::applicationPid());
            expected.processIdentifier = frontmost->processIdentifier;
        }
        QCOMPARE(*frontmost, expected);
        QCOMPARE(PasteTarget::capture(workspace).has_value(), !ours);
        window.kill();
        QTRY_VERIFY(!workspace.frontmostApplication());
        QCOMPARE(workspace.isTerminated(*frontmost), !ours);
    }

    void activationAndTermination()
    {
        WaylandWorkspace workspace(qgetenv("WAYLAND_DISPLAY"), index(), u"clipwell-test"_s);
        int activations = 0;
        bool onGuiThread = true;
        const auto activated = [&] {
            ++activations;
            onGuiThread = onGuiThread && QThread::currentThread() == thread();
        };
        workspace.observe({activated, {}, {}, {}});
        QProcess& first = open(u"org.example.Editor"_s);
        QTRY_VERIFY(workspace.frontmostApplication());
        const std::optional<PasteTarget> target = PasteTarget::capture(workspace);
        QVERIFY(target);

        // Another application takes the focus and gives it back when it closes.
        int before = activations;
        QProcess& other = open(u"other"_s);
        QTRY_COMPARE(workspace.frontmostWindowClasses(), QStringList{u"other"_s});
        QVERIFY(!target->isStillCurrent(workspace));
        QTRY_VERIFY(activations > before);
        QCOMPARE(workspace.runningApplications().size(), 2);
        before = activations;
        other.kill();
        QTRY_VERIFY(target->isStillCurrent(workspace));
        QTRY_VERIFY(activations > before);
        QVERIFY(onGuiThread);

        // Our quick paste popup takes the keyboard from it, and is no application in front.
        const std::unique_ptr<WaylandQuickPasteSeat> seat = WaylandQuickPasteSeat::create({});
        QVERIFY(seat);
        QTRY_COMPARE(seat->state(), WaylandQuickPasteSeat::State::ready);
        QImage frame(200, 100, QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::red);
        seat->present(frame);
        QTRY_VERIFY(!workspace.frontmostApplication());
        seat->hide();
        QTRY_VERIFY(target->isStillCurrent(workspace));

        // Another window of the same application takes the focus: a paste aimed at the first is off.
        open(u"org.example.Editor"_s);
        QTRY_VERIFY(frontmostIdentifier(workspace) != 0 &&
                    frontmostIdentifier(workspace) != target->application.processIdentifier);
        QVERIFY(!target->isStillCurrent(workspace));
        QCOMPARE(workspace.runningApplications().size(), 1);

        first.kill();
        QTRY_VERIFY(workspace.isTerminated(target->application));
        QVERIFY(!workspace.isTerminated(*workspace.frontmostApplication()));
        QCOMPARE(workspace.runningApplications().size(), 1);
    }

    void compositorWithoutWindowList()
    {
        const QString path = m_data.filePath(u"plain-compositor"_s);
        FakeCompositor compositor(path, WindowList::none);
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(u"does not list its windows"_s));
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        WaylandWorkspace workspace(QFile::encodeName(path), index());
        // It keeps no connection it has no use for.
        QTRY_VERIFY(compositor.clientsCameAndWent());
        QVERIFY(!workspace.frontmostApplication());
        QVERIFY(workspace.runningApplications().isEmpty());
    }

    void silentCompositor()
    {
        // A socket nobody serves: the workspace stops at once all the same.
        const QString path = m_data.filePath(u"silent-compositor"_s);
        const int fd = listen(path);
        std::make_unique<WaylandWorkspace>(QFile::encodeName(path), index()).reset();
        ::close(fd);
    }

    void compositorHangsUp_data()
    {
        QTest::addColumn<WindowList>("list");
        QTest::newRow("wlr foreign-toplevel") << WindowList::wlr;
        QTest::newRow("KDE window management 3") << WindowList::kde;
    }

    void compositorHangsUp()
    {
        QFETCH(WindowList, list);
        const QString path =
            m_data.filePath(u"leaving-compositor-"_s + QLatin1StringView(QTest::currentDataTag()));
        FakeCompositor compositor(path, list);
        WaylandWorkspace workspace(QFile::encodeName(path), index());
        QTRY_VERIFY(workspace.frontmostApplication());
        const RunningApplication editor = *workspace.frontmostApplication();
        QCOMPARE(editor.localizedName, u"Example Editor"_s);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"Lost the connection"_s));
        compositor.hangUp();
        QTRY_VERIFY(!workspace.frontmostApplication());
        QVERIFY(workspace.runningApplications().isEmpty());
        QVERIFY(workspace.isTerminated(editor));
    }
};

QTEST_GUILESS_MAIN(TestWaylandWorkspace)
#include "tst_waylandworkspace.moc"
