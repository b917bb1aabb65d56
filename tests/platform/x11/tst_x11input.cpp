#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Input.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11KeystrokePoster.h"
#include "services/GlobalShortcutMonitor.h"
#include "support/TestColumns.h"
#include "support/x11/WindowManager.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <xcb/xcb.h>

using namespace Qt::StringLiterals;
using Direction = QuickPasteSession::Direction;
Q_DECLARE_METATYPE(PasteShortcut)

namespace {

bool xdotool(const QString& arguments)
{
    return QProcess::execute(u"xdotool"_s, arguments.split(u' ')) == 0;
}

} // namespace

// The chord on a real X server: xdotool types through XTEST and the server's grabs like a keyboard.
class TestX11Input : public QObject {
    Q_OBJECT

    QProcess m_windowManager;
    QProcess m_target;
    std::shared_ptr<X11Input> m_input;
    std::unique_ptr<X11Accessibility> m_accessibility;
    std::unique_ptr<GlobalShortcutMonitor> m_monitor;
    X11Keyboard m_keyboard;
    QStringList m_log;
    QString m_received;
    // The next chord is refused, as with Clipwell in front.
    std::atomic<bool> m_refuse{false};

    // The non-modifier keys the test application received, as "press v 4" with the state's lock bits
    // left out, once a key typed after everything else reached it (F12, key code 96 in Xvfb's keymap).
    QStringList received()
    {
        xdotool(u"key F12"_s);
        const QDeadlineTimer deadline(5000);
        while (!m_received.contains(u"release 96 "_s) && !deadline.hasExpired()) {
            m_target.waitForReadyRead(100);
            m_received += QString::fromLatin1(m_target.readAllStandardOutput());
        }
        QStringList keys;
        for (const QString& line : std::exchange(m_received, QString()).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u' ');
            const auto key = xcb_keycode_t(fields.value(1).toUInt());
            if (m_keyboard.isModifier(key) || key == 96)
                continue;
            const QString name = key == m_keyboard.forwardKey  ? u"v"_s
                                 : key == m_keyboard.escapeKey ? u"Esc"_s
                                                               : u"k"_s;
            const uint state = fields.value(2).toUInt() & ~uint(XCB_MOD_MASK_LOCK | m_keyboard.numLockMask);
            keys << u"%1 %2 %3"_s.arg(fields[0], name).arg(state);
        }
        return keys;
    }

    bool startTarget(const QStringList& arguments = {})
    {
        m_target.start(QStringLiteral(TEST_KEY_TARGET), arguments);
        return m_target.waitForReadyRead(10000) && m_target.readLine().trimmed() == "ready";
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(startWindowManager(m_windowManager), "openbox is needed");
        m_input = std::make_shared<X11Input>(qgetenv("DISPLAY"));
        m_accessibility = std::make_unique<X11Accessibility>(m_input);
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        m_keyboard = X11Keyboard::read(connection).value_or(X11Keyboard());
        xcb_disconnect(connection);
        QVERIFY(m_keyboard.forwardKey);
        m_monitor = std::make_unique<GlobalShortcutMonitor>(*m_input, *m_accessibility);
        m_monitor->canStart = [this] { return !m_refuse.exchange(false); };
        m_monitor->onStart = [this] { m_log << u"start"_s; };
        const auto key = [](auto direction) { return direction == Direction::next ? u"V"_s : u"Z"_s; };
        m_monitor->onCycle = [=, this](auto direction, bool repeat) {
            m_log << u"cycle"_s + key(direction) + (repeat ? u"r"_s : u""_s);
        };
        m_monitor->onTriggerUp = [=, this](auto direction) { m_log << u"up"_s + key(direction); };
        m_monitor->onRelease = [this] { m_log << u"release"_s; };
        m_monitor->onCancel = [this] { m_log << u"cancel"_s; };
        m_monitor->onStatus = [this](QuickPasteStatus status) { m_log << u"status(%1)"_s.arg(int(status)); };
        m_monitor->start(false);
        QCOMPARE(m_log, QStringList{u"status(3)"_s});
        QVERIFY(startTarget());
    }

    void cleanupTestCase()
    {
        m_monitor.reset();
        m_target.kill();
        m_target.waitForFinished();
        m_windowManager.kill();
        m_windowManager.waitForFinished();
    }

    void chord_data()
    {
        addColumns<QString, QString, QString>("typed", "reported", "expected");
        const auto row = [](const char* name, const char* typed, const char* reported, const char* expected) {
            QTest::newRow(name) << QString::fromLatin1(typed) << QString::fromLatin1(reported)
                                << QString::fromLatin1(expected);
        };
        row("V, V, Z, then let go", "keydown super+shift|key v|key v|key z|keyup shift|keyup super",
            "start upV cycleV upV cycleZ upZ release", "");
        row("V held repeats", "keydown super+shift|keydown v|sleep 1|keyup v|keyup super+shift",
            "start( cycleVr)+ upV release", "");
        // Escape still finds the chord held by the right Shift alone.
        row("one Shift of two let go",
            "keydown super+shift|keydown Shift_R|key v|keyup super|keyup shift|key Escape|keyup Shift_R",
            "start upV cancel", "");
        row("Escape reaches nobody", "keydown super+shift|key v|key Escape|keyup super+shift",
            "start upV cancel", "");
        row("another key cancels and is typed", "keydown super+shift|key v|key a|keyup super+shift",
            "start upV cancel", "press k 65");
        row("Alt as well passes V on", "keydown super+shift+alt|key v|keyup super+shift+alt", "",
            "press v 73");
        row("a refused chord leaves the next one working",
            "refuse|keydown super+shift|key v|keyup super+shift|keydown super+shift|key v|keyup super+shift",
            "start upV release", "press v 65");
        row("Caps Lock and Num Lock on", "key Caps_Lock Num_Lock|keydown super+shift|key v|keyup super+shift",
            "start upV release", "");
    }

    void chord()
    {
        QFETCH(QString, typed);
        QFETCH(QString, reported);
        QFETCH(QString, expected);
        m_log.clear();
        for (const QString& step : typed.split(u'|')) {
            if (step == u"refuse")
                m_refuse = true;
            else
                QVERIFY(xdotool(step));
        }
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(reported));
        QTRY_VERIFY2(pattern.match(m_log.join(u' ')).hasMatch(), qPrintable(m_log.join(u' ')));
        QCOMPARE(received().filter(u"press"_s).join(u','), expected);
        QVERIFY(!m_monitor->active());
        if (typed.contains(u"Caps_Lock"_s))
            QVERIFY(xdotool(u"key Caps_Lock Num_Lock"_s));
    }

    // "hold" is a key the user keeps down meanwhile; the keys that reach the application follow.
    void pasteKeystroke_data()
    {
        addColumns<PasteShortcut, QString, QString>("shortcut", "hold", "expected");
        QTest::newRow("Control+V") << PasteShortcut::controlV << QString() << u"press v 4,release v 4"_s;
        QTest::newRow("Control+Shift+V")
            << PasteShortcut::controlShiftV << QString() << u"press v 5,release v 5"_s;
        QTest::newRow("Shift+Insert")
            << PasteShortcut::shiftInsert << QString() << u"press k 1,release k 1"_s;
        // The server would drop the press of a key already down: nothing is typed, and it says so.
        QTest::newRow("V still held") << PasteShortcut::controlV << u"v"_s << u"press v 0,release v 0"_s;
    }

    void pasteKeystroke()
    {
        QFETCH(PasteShortcut, shortcut);
        QFETCH(QString, hold);
        QFETCH(QString, expected);
        X11KeystrokePoster poster(m_input);
        const std::unique_ptr<KeystrokePoster::Keystroke> keystroke = poster.create(shortcut);
        QVERIFY(keystroke);
        if (!hold.isEmpty()) {
            QVERIFY(xdotool(u"keydown "_s + hold));
            QVERIFY(!keystroke->keysAreUp());
            QVERIFY(!keystroke->post());
            QVERIFY(xdotool(u"keyup "_s + hold));
        } else {
            QVERIFY(keystroke->keysAreUp());
            QVERIFY(keystroke->post());
        }
        QCOMPARE(received().join(u','), expected);
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        xcb_query_keymap_reply_t* keymap =
            xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr);
        QVERIFY(keymap);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(keymap->keys), 32), QByteArray(32, 0));
        free(keymap);
        xcb_disconnect(connection);
    }

    // Another layout puts v on another key: the chord follows it.
    void chordFollowsTheLayout()
    {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        // Both keys' symbols in one request, written back crosswise.
        const auto swap = [&](xcb_keycode_t first) {
            xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
                connection, xcb_get_keyboard_mapping(connection, first, 2), nullptr);
            const int width = map->keysyms_per_keycode;
            QList<xcb_keysym_t> symbols(xcb_get_keyboard_mapping_keysyms(map),
                                        xcb_get_keyboard_mapping_keysyms(map) + 2 * width);
            std::rotate(symbols.begin(), symbols.begin() + width, symbols.end());
            xcb_change_keyboard_mapping(connection, 2, first, uint8_t(width), symbols.constData());
            free(map);
            // Done before anyone else looks at the keyboard: the server answers in order.
            free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        };
        const xcb_keycode_t v = m_keyboard.forwardKey;
        // Another program holds Super+Shift on the key v moves to: quick paste fails until v is back.
        xcb_connection_t* other = xcb_connect(nullptr, nullptr);
        xcb_grab_key(other, 0, xcb_setup_roots_iterator(xcb_get_setup(other)).data->root,
                     XCB_MOD_MASK_SHIFT | m_keyboard.superMask, xcb_keycode_t(v + 1), XCB_GRAB_MODE_ASYNC,
                     XCB_GRAB_MODE_ASYNC);
        free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
        m_log.clear();
        swap(v);
        QTRY_COMPARE(m_log, QStringList{u"status(2)"_s});
        swap(v);
        QTRY_COMPARE(m_log, (QStringList{u"status(2)"_s, u"status(3)"_s}));
        xcb_disconnect(other);
        swap(v);
        m_log.clear();
        // The grab moves once the input thread has seen the new mapping; until then V is just typed.
        for (QDeadlineTimer deadline(10000); !m_log.contains(u"start"_s) && !deadline.hasExpired();) {
            xdotool(u"keydown super+shift"_s) && xdotool(u"key v"_s) && xdotool(u"keyup super+shift"_s);
            QTest::qWait(50);
        }
        swap(v);
        QVERIFY(m_log.contains(u"start"_s));
        received();

        // No key types v at all: there is no paste keystroke to make.
        xcb_get_keyboard_mapping_reply_t* map =
            xcb_get_keyboard_mapping_reply(connection, xcb_get_keyboard_mapping(connection, v, 1), nullptr);
        const int width = map->keysyms_per_keycode;
        const QList<xcb_keysym_t> saved(xcb_get_keyboard_mapping_keysyms(map),
                                        xcb_get_keyboard_mapping_keysyms(map) + width);
        free(map);
        X11KeystrokePoster poster(m_input);
        xcb_change_keyboard_mapping(connection, 1, v, uint8_t(width),
                                    QList<xcb_keysym_t>(width, 0).constData());
        xcb_flush(connection);
        QTRY_VERIFY(!poster.create(PasteShortcut::controlV));
        xcb_change_keyboard_mapping(connection, 1, v, uint8_t(width), saved.constData());
        xcb_flush(connection);
        QTRY_VERIFY(poster.create(PasteShortcut::controlV));
        xcb_disconnect(connection);
    }

    void withoutXTestQuickPasteNeedsPermission()
    {
        QProcess server;
        server.start(u"Xvfb"_s,
                     {u"-displayfd"_s, u"1"_s, u"-extension"_s, u"XTEST"_s, u"-nolisten"_s, u"tcp"_s});
        QVERIFY(server.waitForReadyRead(10000));
        const auto input = std::make_shared<X11Input>(":" + server.readLine().trimmed());
        X11Accessibility accessibility(input);
        GlobalShortcutMonitor monitor(*input, accessibility);
        std::optional<QuickPasteStatus> status;
        monitor.onStatus = [&](QuickPasteStatus reported) { status = reported; };
        monitor.start(true);
        QCOMPARE(status, QuickPasteStatus::needsPermission);
        server.terminate();
        server.waitForFinished();
    }

    // Last: the focus does not come back to the test application.
    void noChordWhileAnotherProgramHoldsTheKeyboard()
    {
        QProcess locker;
        locker.start(QStringLiteral(TEST_KEY_TARGET), {u"--grab-keyboard"_s});
        QVERIFY(locker.waitForReadyRead(10000) && locker.readLine().trimmed() == "ready");
        m_log.clear();
        QVERIFY(xdotool(u"keydown super+shift"_s) && xdotool(u"key v"_s) && xdotool(u"keyup super+shift"_s));
        QTRY_VERIFY2((m_received += QString::fromLatin1(locker.readAllStandardOutput()))
                         .contains(u"release %1 "_s.arg(m_keyboard.forwardKey)),
                     qPrintable(m_received));
        QCoreApplication::processEvents();
        QCOMPARE(m_log, QStringList());
        // A paste now would go to the program holding the keyboard.
        QVERIFY(m_input->isSecureEventInputEnabled());
        locker.kill();
        locker.waitForFinished();
        QTRY_VERIFY(!m_input->isSecureEventInputEnabled());
    }
};

QTEST_GUILESS_MAIN(TestX11Input)
#include "tst_x11input.moc"
