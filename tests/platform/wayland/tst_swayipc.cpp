#include "platform/wayland/SwayChordBinding.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/SwayIpcConnection.h"
#include "platform/wayland/WaylandEventTap.h"
#include "support/TestColumns.h"
#include "support/wayland/FakeQuickPasteSeat.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using SwayIpc::Event;
using SwayIpc::Message;
using Status = SwayIpcConnection::BindStatus;
using Outcome = SwayChordBinding::Outcome::Status;

namespace {

// Generous: sway shares two cores with the build and the sanitizers.
constexpr int patience = 5000;
const QStringList ours{QStringLiteral("nop clipwell-quick-paste")};

QString commandOf(const Message& message)
{
    return QJsonDocument::fromJson(message.payload)[QLatin1String("binding")][QLatin1String("command")]
        .toString();
}

// Every message up to the first that matches, or none when it never came.
template <typename Match> QList<Message> messagesUntil(SwayIpcConnection& sway, Match match)
{
    QList<Message> messages;
    const QDeadlineTimer deadline(patience);
    while (!deadline.hasExpired()) {
        for (const Message& message : sway.readAvailable()) {
            messages.append(message);
            if (match(message))
                return messages;
        }
        if (sway.isBroken())
            break;
        pollfd entry{sway.fd(), POLLIN, 0};
        ::poll(&entry, 1, int(deadline.remainingTime()));
    }
    return {};
}

// Types the chord, then a key bound to a marker: the commands of the bindings run before the marker.
QStringList commandsBeforeMarker(SwayIpcConnection& sway)
{
    const QString marker = QStringLiteral("nop clipwell-test-marker");
    const QStringList keys =
        QStringLiteral("-M logo -M shift -k v -k x -m shift -m logo").split(QLatin1Char(' '));
    if (!sway.runCommand("bindsym Mod4+Shift+x " + marker.toUtf8(), patience).success ||
        QProcess::execute(QStringLiteral("wtype"), keys) != 0)
        return {QStringLiteral("(not typed)")};
    QStringList commands;
    for (const Message& message :
         messagesUntil(sway, [&](const Message& m) { return commandOf(m) == marker; }))
        if (message.type == SwayIpc::BindingEvent)
            commands.append(commandOf(message));
    return commands.isEmpty() ? QStringList{QStringLiteral("(no marker)")}
                              : commands.first(commands.size() - 1);
}

// A chord binding of the running sway whose presses and outcomes the test reads.
struct Followed {
    SwayChordBinding binding{SwayIpcConnection::socketPath()};
    std::atomic<int> presses{0};
    QMutex mutex;
    QList<Outcome> outcomes;

    Followed()
    {
        binding.onPressed = [this] { ++presses; };
        binding.onOutcome = [this](const SwayChordBinding::Outcome& outcome) {
            QMutexLocker locker(&mutex);
            outcomes.append(outcome.status);
        };
        binding.start();
    }
    QList<Outcome> seen()
    {
        QMutexLocker locker(&mutex);
        return outcomes;
    }
};

} // namespace

#define OPEN_SWAY(sway)                                                                                      \
    if (SwayIpcConnection::socketPath().isEmpty())                                                           \
        QSKIP("needs sway: run through tests/support/with-sway.sh");                                         \
    QVERIFY2(sway.open(SwayIpcConnection::socketPath()) && sway.subscribe(patience), qPrintable(sway.error()))

class TstSwayIpc : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void framingSurvivesAnySplit()
    {
        const QList<Message> sent{{SwayIpc::RunCommand, "[{\"success\":true}]"},
                                  {SwayIpc::Subscribe, {}},
                                  {SwayIpc::BindingEvent, QByteArray(300, 'b')}};
        QByteArray stream;
        for (const Message& message : sent)
            stream += SwayIpc::encode(message.type, message.payload);
        QList<Message> whole;
        SwayIpc::Decoder().feed(stream, whole);
        QCOMPARE(whole, sent);
        SwayIpc::Decoder decoder;
        QList<Message> byByte;
        for (char byte : std::as_const(stream))
            decoder.feed(QByteArrayView(&byte, 1), byByte);
        QCOMPARE(byByte, sent);
    }

    void brokenStream_data()
    {
        addColumns<QByteArray, int, bool>("stream", "messages", "broken");
        const QByteArray good = SwayIpc::encode(SwayIpc::GetConfig, "{}");
        const auto header = [](quint32 length) {
            return SwayIpc::encode(SwayIpc::RunCommand, QByteArray(length, 'x')).first(14);
        };
        QTest::newRow("waiting for the header") << good.first(9) << 0 << false;
        QTest::newRow("wrong first byte") << QByteArray("I") << 0 << true;
        QTest::newRow("bad magic after a message") << good + "i3-ipX" << 1 << true;
        QTest::newRow("payload at the bound")
            << header(SwayIpc::MaxPayload) + QByteArray(SwayIpc::MaxPayload, 'x') << 1 << false;
        QTest::newRow("payload over the bound") << good + header(SwayIpc::MaxPayload + 1) << 1 << true;
    }

    void brokenStream()
    {
        QFETCH(QByteArray, stream);
        QFETCH(int, messages);
        QFETCH(bool, broken);
        SwayIpc::Decoder decoder;
        QList<Message> decoded;
        decoder.feed(stream, decoded);
        QCOMPARE(decoded.size(), messages);
        QCOMPARE(decoder.isBroken(), broken);
    }

    void commandReply_data()
    {
        addColumns<QByteArray, bool, QString>("payload", "success", "error");
        const auto row = [](const char* name, const char* payload, bool success, const char* error = "") {
            QTest::newRow(name) << QByteArray(payload) << success << QString::fromUtf8(error);
        };
        row("ran", "[{\"success\":true}]", true);
        row("subscribed", "{\"success\":true}", true);
        row("second command failed",
            "[{\"success\":true},{\"success\":false,\"error\":\"Unknown key 'q'\"},{\"success\":false}]",
            false, "Unknown key 'q'");
        row("nothing ran", "[]", false);
        row("not JSON", "[{\"success\":tru", false);
    }

    void commandReply()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, success);
        QFETCH(QString, error);
        const SwayIpc::CommandResult result = SwayIpc::parseCommandReply(payload);
        QCOMPARE(result.success, success);
        QCOMPARE(result.error, error);
    }

    void events_data()
    {
        QTest::addColumn<Message>("message");
        QTest::addColumn<Event>("event");
        const auto row = [](const char* name, quint32 type, const QByteArray& payload, Event event) {
            QTest::newRow(name) << Message{type, payload} << event;
        };
        const auto binding = [](const char* command) {
            return "{\"change\":\"run\",\"binding\":{\"command\":\"" + QByteArray(command) +
                   "\",\"symbol\":\"v\"}}";
        };
        row("ours", SwayIpc::BindingEvent, binding("nop clipwell-quick-paste"), Event::QuickPasteBinding);
        row("another binding", SwayIpc::BindingEvent, binding("exec foot"), Event::Other);
        row("longer nop", SwayIpc::BindingEvent, binding("nop clipwell-quick-paste-2"), Event::Other);
        row("malformed", SwayIpc::BindingEvent, binding("nop clipwell-quick-paste").chopped(1), Event::Other);
        row("ours as a reply", SwayIpc::RunCommand, binding("nop clipwell-quick-paste"), Event::Other);
        row("reload", SwayIpc::WorkspaceEvent, "{\"change\":\"reload\",\"current\":null}", Event::Reload);
        row("focus", SwayIpc::WorkspaceEvent, "{\"change\":\"focus\"}", Event::Other);
        row("exit", SwayIpc::ShutdownEvent, "{\"change\":\"exit\"}", Event::Shutdown);
    }

    void events()
    {
        QFETCH(Message, message);
        QFETCH(Event, event);
        QCOMPARE(SwayIpc::classify(message), event);
    }

    void conflicts_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* name, const char* config, const char* line = "") {
            QTest::newRow(name) << QString::fromUtf8(config) << QString::fromUtf8(line);
        };
        row("other chords", "bindsym Mod4+v exec a\nbindsym Mod4+Shift+Control+v exec b\n"
                            "bindsym Mod4+Shift+c kill\n# bindsym Mod4+Shift+v exec c");
        row("plain", "xwayland disable\nbindsym Mod4+Shift+v exec a", "bindsym Mod4+Shift+v exec a");
        row("variable, flags, order, case",
            "set $mod Mod4\n  bindsym --to-code --release shift+$mod+V exec a",
            "bindsym --to-code --release shift+$mod+V exec a");
        row("longest variable first, group", "set $m Mod1\nset $mod Mod4\nbindsym Group2+$mod+Shift+v exec a",
            "bindsym Group2+$mod+Shift+v exec a");
        row("continued line", "bindsym \\\n  Mod4+Shift+v exec a", "bindsym  Mod4+Shift+v exec a");
        row("bindsym block", "bindsym {\n  Mod4+Shift+v exec a\n}", "Mod4+Shift+v exec a");
        row("another mode", "mode \"resize\" {\n  bindsym Mod4+Shift+v mode default\n}");
        row("after another mode",
            "mode resize {\n  bindsym Left resize shrink\n}\nbindsym Mod4+Shift+v exec a",
            "bindsym Mod4+Shift+v exec a");
        row("ours already", "bindsym --no-repeat Mod4+Shift+v nop clipwell-quick-paste");
        row("included, with the includer's variable", "set $mod Mod4\ninclude keys",
            "bindsym $mod+Shift+v exec a");
        row("included once", "include loop");
    }

    void conflicts()
    {
        QFETCH(QString, config);
        QFETCH(QString, line);
        // Included files: one that binds the chord, one that includes itself.
        const auto resolve = [](const QString& argument, const QString&) {
            const bool keys = argument == QLatin1String("keys");
            return QList<SwayIpc::ConfigFile>{{argument, keys ? QStringLiteral("bindsym $mod+Shift+v exec a")
                                                              : QStringLiteral("include loop")}};
        };
        const auto found = SwayIpc::conflictingBinding({QStringLiteral("config"), config}, resolve);
        QCOMPARE(found ? found->text : QString(), line);
    }

    // A reply that comes too late would be taken for the answer to the next request.
    void unansweredRequestBreaksTheConnection()
    {
        QTemporaryDir folder;
        const QByteArray path = QFile::encodeName(folder.filePath(QStringLiteral("ipc")));
        SwayIpcConnection nobody;
        QVERIFY(!nobody.open(path) && nobody.isBroken());
        sockaddr_un address{AF_UNIX, {}};
        std::memcpy(address.sun_path, path.constData(), path.size());
        const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::listen(server, 1) == 0);
        SwayIpcConnection silent;
        QVERIFY(silent.open(path));
        QVERIFY(!silent.request(SwayIpc::GetConfig, {}, 50) && silent.isBroken());
        ::close(server);
    }

    void chordBindingFollowsPressesAndReloads()
    {
        SwayIpcConnection sway;
        OPEN_SWAY(sway);
        Followed followed;
        const std::optional<SwayChordBinding::Outcome> first = followed.binding.firstOutcome(patience);
        QVERIFY(first);
        QCOMPARE(first->status, Outcome::bound);
        QCOMPARE(QProcess::execute(
                     QStringLiteral("wtype"),
                     QStringLiteral("-M logo -M shift -k v -k v -m shift -m logo").split(QLatin1Char(' '))),
                 0);
        // The reload's event comes after the presses' on the binding's connection: once it is bound
        // again, every press has been counted.
        QVERIFY(sway.runCommand("reload", patience).success);
        QTRY_COMPARE_WITH_TIMEOUT(followed.seen(), (QList<Outcome>{Outcome::bound, Outcome::bound}),
                                  patience);
        QCOMPARE(followed.presses.load(), 2);
        sway.readAvailable();
        QCOMPARE(commandsBeforeMarker(sway), ours);
        QTRY_COMPARE_WITH_TIMEOUT(followed.presses.load(), 3, patience);
        followed.binding.stop();
        QTRY_COMPARE_WITH_TIMEOUT(commandsBeforeMarker(sway), QStringList(), patience);
        QCOMPARE(followed.presses.load(), 3);
    }

    // Last but one: the configuration keeps the user's binding of the chord.
    void configuredChordIsAConflict()
    {
        SwayIpcConnection sway;
        OPEN_SWAY(sway);
        const std::optional<QByteArray> version = sway.request(SwayIpc::GetVersion, {}, patience);
        QVERIFY(version);
        // Where a user's configuration often keeps its key bindings: a file included by a pattern.
        const QDir folder = QFileInfo(SwayIpc::parseConfigPath(*version)).dir();
        QVERIFY(folder.mkpath(QStringLiteral("config.d")));
        QFile config(folder.filePath(QStringLiteral("config")));
        QFile keys(folder.filePath(QStringLiteral("config.d/keys")));
        QVERIFY(config.open(QIODevice::Append) && keys.open(QIODevice::WriteOnly));
        config.write("set $mod Mod4\ninclude config.d/*\n");
        keys.write("bindsym $mod+Shift+V nop user-binding\n");
        config.close();
        keys.close();
        QVERIFY(sway.runCommand("reload", patience).success);
        const SwayIpcConnection::BindResult result = sway.bindChord(patience);
        QCOMPARE(result.status, Status::Conflict);
        QCOMPARE(result.detail, QStringLiteral("bindsym $mod+Shift+V nop user-binding"));
        QCOMPARE(result.path, keys.fileName());
        QCOMPARE(commandsBeforeMarker(sway), QStringList{QStringLiteral("nop user-binding")});
        // The tap does not take the chord from the user, says where it is bound, and leaves it in place.
        FakeQuickPasteSeat seat;
        WaylandEventTap tap(&seat, SwayIpcConnection::socketPath(), {});
        std::atomic<bool> refused = false;
        const bool installed =
            tap.install({[](TapEvent&) { return true; }, {}, {}, [&](bool yes) { refused = !yes; }});
        QTRY_COMPARE_WITH_TIMEOUT(tap.setup().advice, QuickPasteSetup::Advice::chordTaken, patience);
        QVERIFY(!installed || refused);
        QCOMPARE(tap.setup().path, keys.fileName());
        QCOMPARE(commandsBeforeMarker(sway), QStringList{QStringLiteral("nop user-binding")});
    }

    // Last: sway exits. sway 1.7 closes the socket without the shutdown event it documents.
    void exitBreaksTheConnection()
    {
        SwayIpcConnection sway;
        OPEN_SWAY(sway);
        Followed followed;
        QVERIFY(followed.binding.firstOutcome(patience));
        QVERIFY(sway.send(SwayIpc::RunCommand, "exit"));
        messagesUntil(sway, [](const Message& m) { return SwayIpc::classify(m) == Event::Shutdown; });
        QVERIFY(sway.isBroken());
        QVERIFY(!sway.send(SwayIpc::RunCommand, "reload"));
        QTRY_COMPARE_WITH_TIMEOUT(followed.seen().constLast(), Outcome::unavailable, patience);
    }
};

QTEST_GUILESS_MAIN(TstSwayIpc)
#include "tst_swayipc.moc"
