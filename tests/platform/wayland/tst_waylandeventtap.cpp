#include "platform/wayland/WaylandEventTap.h"
#include "platform/wayland/WaylandQuickPasteSeat.h"
#include "support/TestColumns.h"
#include "support/wayland/FakeQuickPasteSeat.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

using Advice = QuickPasteSetup::Advice;

class TstWaylandEventTap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Steps: P the compositor reports the chord, V/v and Z/z a key down/up on the popup's keyboard,
    // E the chord ended, R the tap removed. Records: the key, + down or - up, ! with Super+Shift.
    void chord_data()
    {
        addColumns<bool, bool, QString, QString, Advice>("layerShell", "virtualKeyboard", "steps", "records",
                                                         "advice");
        const auto row = [](const char* name, const char* steps, const char* records, bool layerShell = true,
                            bool virtualKeyboard = true) {
            QTest::newRow(name) << layerShell << virtualKeyboard << QString::fromLatin1(steps)
                                << QString::fromLatin1(records)
                                << (layerShell && virtualKeyboard ? Advice::bindCommand
                                                                  : Advice::missingProtocols);
        };
        row("a press starts", "P", "V+! V-!");
        row("a second press steps", "PP", "V+! V-! V+! V-!");
        row("the popup's keys go through", "PZzv", "V+! V-! Z+! Z-! V-!");
        row("the V the popup sees is not reported twice", "PVPvP", "V+! V-! V+! V-! V+! V-!");
        row("a V held when the chord ended is forgotten", "VEP", "V+! V+! V-!");
        row("nothing once removed", "RPZ", "");
        row("no layer shell", "PZ", "", false);
        row("no virtual keyboard", "PZ", "", true, false);
    }

    void chord()
    {
        QFETCH(bool, layerShell);
        QFETCH(bool, virtualKeyboard);
        QFETCH(QString, steps);
        FakeQuickPasteSeat seat;
        seat.layerShell = layerShell;
        seat.canTypePaste = virtualKeyboard;
        WaylandEventTap tap(&seat, {}, QStringLiteral("Hyprland"));
        QStringList records;
        const auto handle = [&records](TapEvent& event) {
            const bool chord = event.flags == (TapEvent::commandFlag | TapEvent::shiftFlag);
            records.append(QLatin1String(event.keyCode == TapEvent::keyV ? "V" : "Z") +
                           QLatin1String(event.type == TapEvent::keyDown ? "+" : "-") +
                           QLatin1String(chord ? "!" : ""));
            return true;
        };
        QCOMPARE(tap.install({handle, {}, {}, {}}), layerShell && virtualKeyboard);
        for (const QChar step : steps) {
            const TapEvent::Type type = step.isUpper() ? TapEvent::keyDown : TapEvent::keyUp;
            if (step == QLatin1Char('P'))
                tap.chordPressed();
            else if (step == QLatin1Char('E'))
                tap.chordEnded();
            else if (step == QLatin1Char('R'))
                tap.remove();
            else
                seat.type(type, step.toUpper() == QLatin1Char('V') ? TapEvent::keyV : TapEvent::keyZ);
        }
        QTEST(records.join(QLatin1Char(' ')), "records");
        const QuickPasteSetup setup = tap.setup();
        QTEST(setup.advice, "advice");
        QCOMPARE(setup.hasLayerShell, layerShell);
        QCOMPARE(setup.canType, virtualKeyboard);
        QVERIFY(!setup.permissionGuide);
    }

    // KWin grants fake input to installed programs only: Settings says so, and not that it has none.
    void typingNotGranted()
    {
        FakeQuickPasteSeat seat;
        seat.canTypePaste = false;
        seat.needsGrant = true;
        WaylandEventTap tap(&seat, {}, QStringLiteral("KDE"));
        QVERIFY(!tap.install({}));
        const QString note = QuickPasteSetups::note(tap.setup());
        QVERIFY2(note.contains(u"org_kde_kwin_fake_input") && !note.contains(u"zwp_virtual_keyboard_v1"),
                 qPrintable(note));
    }

    // A compositor slow to answer a new client (KWin checking its grants) holds no thread up: the
    // settings say it is awaited, and a compositor that hangs up leaves quick paste unsupported.
    void compositorSlowToAnswer()
    {
        QTemporaryDir dir;
        QLocalServer compositor;
        QVERIFY(compositor.listen(dir.filePath(QStringLiteral("wayland-0"))));
        std::unique_ptr<WaylandQuickPasteSeat> seat =
            WaylandQuickPasteSeat::create(compositor.fullServerName().toLocal8Bit());
        QVERIFY(seat);
        WaylandEventTap tap(seat.get(), {}, QStringLiteral("KDE"));
        QVERIFY(compositor.waitForNewConnection(5000));
        QVERIFY(tap.isSupported());
        QCOMPARE(tap.setup().advice, Advice::connecting);
        QVERIFY(!tap.install({}));
        QCOMPARE(seat->state(), WaylandQuickPasteSeat::State::connecting);
        compositor.nextPendingConnection()->abort();
        QTRY_COMPARE(seat->state(), WaylandQuickPasteSeat::State::failed);
        QVERIFY(!tap.isSupported());
    }
};

QTEST_GUILESS_MAIN(TstWaylandEventTap)
#include "tst_waylandeventtap.moc"
