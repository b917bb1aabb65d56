// The quick paste chord: what judging one event costs, and how long a V pressed with Super+Shift
// held takes to start a session on the GUI thread, through the real grab on the display in DISPLAY.
#include "BenchFigures.h"
#include "BenchTypist.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Input.h"
#include "services/GlobalShortcutMonitor.h"
#include "support/FakeEventTap.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextStream>
#include <xcb/xcb.h>

namespace {

// A session's worth of events: a chord of V, V, Z and the release, then typing and clicks while idle.
QList<TapEvent> sessionEvents()
{
    const quint64 chord = TapEvent::commandFlag | TapEvent::shiftFlag;
    const auto key = [](TapEvent::Type type, quint16 code, quint64 flags) {
        TapEvent event;
        event.type = type;
        event.keyCode = code;
        event.flags = flags;
        return event;
    };
    QList<TapEvent> events{
        key(TapEvent::keyDown, TapEvent::keyV, chord),         key(TapEvent::keyUp, TapEvent::keyV, chord),
        key(TapEvent::keyDown, TapEvent::keyV, chord),         key(TapEvent::keyUp, TapEvent::keyV, chord),
        key(TapEvent::keyDown, TapEvent::keyZ, chord),         key(TapEvent::keyUp, TapEvent::keyZ, chord),
        key(TapEvent::flagsChanged, 0, TapEvent::commandFlag), key(TapEvent::flagsChanged, 0, 0)};
    for (quint16 code = 300; code < 320; ++code)
        events << key(TapEvent::keyUp, code, 0);
    events << key(TapEvent::leftMouseDown, 0, 0) << key(TapEvent::scrollWheel, 0, 0);
    return events;
}

} // namespace

int main(int argc, char** argv)
{
    QTextStream out(stdout);
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QGuiApplication app(argc, argv);

    {
        FakeEventTap tap;
        FakeAccessibility accessibility;
        GlobalShortcutMonitor monitor(tap, accessibility);
        monitor.canStart = [] { return true; };
        monitor.start(false);
        const QList<TapEvent> events = sessionEvents();
        QList<double> perEvent;
        for (int run = 0; run < 15; ++run) {
            QElapsedTimer timer;
            timer.start();
            int handled = 0;
            for (int round = 0; round < 2000; ++round) {
                for (TapEvent event : events) {
                    monitor.handle(event);
                    ++handled;
                }
            }
            perEvent << double(timer.nsecsElapsed()) / handled / 1000.0;
            QCoreApplication::sendPostedEvents();
        }
        out << QStringLiteral("handle per event (callbacks queued included): median %1 us\n")
                   .arg(median(perEvent), 0, 'f', 3);
    }

    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        out << "V press to onStart: skipped (no DISPLAY)\n";
        return 0;
    }
    const auto input = std::make_shared<X11Input>(qgetenv("DISPLAY"));
    X11Accessibility accessibility(input);
    GlobalShortcutMonitor monitor(*input, accessibility);
    bool started = false;
    bool released = false;
    monitor.canStart = [] { return true; };
    monitor.onStart = [&] { started = true; };
    monitor.onRelease = [&] { released = true; };
    monitor.start(false);
    Typist typist;
    if (!input->isInstalled() || !typist.canType()) {
        out << "V press to onStart: skipped (the chord cannot be grabbed here)\n";
        return 0;
    }
    QList<double> latencies;
    for (int run = 0; run < 30; ++run) {
        started = released = false;
        typist.key(true, typist.super);
        typist.key(true, typist.shift);
        QElapsedTimer timer;
        timer.start();
        typist.key(true, typist.keyboard.forwardKey);
        for (QDeadlineTimer deadline(2000); !started && !deadline.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (started)
            latencies << double(timer.nsecsElapsed()) / 1e6;
        typist.key(false, typist.keyboard.forwardKey);
        typist.key(false, typist.shift);
        typist.key(false, typist.super);
        for (QDeadlineTimer deadline(2000); started && !released && !deadline.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    if (latencies.isEmpty()) {
        out << "V press to onStart: no session started\n";
        return 1;
    }
    out << QStringLiteral("V press to onStart on the GUI thread: median %1 ms, worst %2 ms (%3 of 30 runs)\n")
               .arg(median(latencies), 0, 'f', 2)
               .arg(*std::max_element(latencies.begin(), latencies.end()), 0, 'f', 2)
               .arg(latencies.size());
    return 0;
}
