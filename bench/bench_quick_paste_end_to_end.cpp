// Quick paste with the real binary on the display in DISPLAY (a window manager running), 200 entries
// of which 20 are images, and our text field in front: Super+Shift held and V pressed through XTEST
// to the popup mapped, and the release to the pasted text arriving in the field.
#include "BenchFigures.h"
#include "BenchSession.h"
#include "BenchTypist.h"
#include "support/x11/WindowManager.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        out << "quick paste end to end: skipped (no DISPLAY)\n";
        return 0;
    }
    const Home home(mixedHistory());
    home.enableQuickPaste();

    MapWatcher history;
    QProcess clipwell;
    clipwell.setProcessEnvironment(home.environment());
    clipwell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    clipwell.start(QStringLiteral(CLIPWELL_BINARY), {});
    if (!history.waitForClipwell(30000)) {
        out << "quick paste end to end: the history window did not appear\n";
        return 1;
    }
    // Started after the history window was seen mapped on the root window, which it no longer is once
    // a window manager frames it.
    QProcess windowManager;
    if (!startWindowManager(windowManager)) {
        out << "quick paste end to end: openbox did not start\n";
        return 1;
    }
    QProcess field;
    field.start(QStringLiteral(TEST_TEXT_FIELD), {});
    if (!waitForLine(field, "ready", 10000)) {
        out << "quick paste end to end: the text field did not come forward\n";
        return 1;
    }
    // The history has loaded and Clipwell knows it is no longer in front.
    QThread::msleep(1500);

    Typist typist;
    QList<double> toPopup;
    QList<double> toText;
    for (int run = 0; run < 15; ++run) {
        MapWatcher popup;
        typist.key(true, typist.super);
        typist.key(true, typist.shift);
        QElapsedTimer timer;
        timer.start();
        typist.key(true, typist.keyboard.forwardKey);
        if (popup.waitFor(5000,
                          [](const xcb_map_notify_event_t* map) { return map->override_redirect != 0; }))
            toPopup << double(timer.nsecsElapsed()) / 1e6;
        typist.key(false, typist.keyboard.forwardKey);
        typist.key(false, typist.shift);
        timer.restart();
        typist.key(false, typist.super);
        if (waitForLine(field, "text \"Entry", 5000))
            toText << double(timer.nsecsElapsed()) / 1e6;
        // Empty the field for the next run: Control+A and BackSpace in the server's default keymap.
        typist.key(true, typist.keyboard.controlKey);
        typist.key(true, 38);
        typist.key(false, 38);
        typist.key(false, typist.keyboard.controlKey);
        typist.key(true, 22);
        typist.key(false, 22);
        waitForLine(field, "text \"\"", 5000);
    }
    out << QStringLiteral("V pressed to popup mapped, 200 entries (20 images): median %1 ms over %2 runs "
                          "(target < 50)\n")
               .arg(toPopup.isEmpty() ? -1.0 : median(toPopup), 0, 'f', 1)
               .arg(toPopup.size());
    out << QStringLiteral("chord released to text in the field: median %1 ms over %2 runs (target < 150; 60 "
                          "ms is the paste delay)\n")
               .arg(toText.isEmpty() ? -1.0 : median(toText), 0, 'f', 1)
               .arg(toText.size());
    field.kill();
    field.waitForFinished();
    clipwell.terminate();
    clipwell.waitForFinished(30000);
    windowManager.kill();
    windowManager.waitForFinished();
    return toPopup.isEmpty() || toText.isEmpty() ? 1 : 0;
}
