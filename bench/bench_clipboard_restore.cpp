// Time from the owner of a recorded copy going away to the clipboard being served again, over 20
// copies: the owner is killed, and a separate client watches for the new selection owner.
#include "BenchFigures.h"
#include "platform/x11/X11Pasteboard.h"
#include "services/ClipboardMonitor.h"
#include "support/FakeWorkspace.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QTextStream>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

int main(int argc, char** argv)
{
    QTextStream out(stdout);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        out << "owner exit to clipboard served again: skipped (no DISPLAY)\n";
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    X11Pasteboard pasteboard(qgetenv("DISPLAY"));
    FakeWorkspace workspace;
    ClipboardMonitor monitor(pasteboard, workspace);
    int captured = 0;
    monitor.onCapture = [&](const ClipboardEntry&) {
        ++captured;
        return true;
    };
    monitor.start();

    xcb_connection_t* observer = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(observer)).data;
    std::free(xcb_xfixes_query_version_reply(observer, xcb_xfixes_query_version(observer, 5, 0), nullptr));
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(observer, xcb_intern_atom(observer, 0, 9, "CLIPBOARD"), nullptr);
    const xcb_atom_t clipboard = atom->atom;
    std::free(atom);
    const uint8_t xfixesEvent = xcb_get_extension_data(observer, &xcb_xfixes_id)->first_event;
    xcb_xfixes_select_selection_input(observer, screen->root, clipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    xcb_flush(observer);

    constexpr int copies = 20;
    QList<double> latencies;
    for (int i = 0; i < copies; ++i) {
        QProcess owner;
        owner.start(QStringLiteral(TEST_CLIPBOARD_OWNER),
                    {QStringLiteral("UTF8_STRING=copy number %1").arg(i)});
        if (!owner.waitForReadyRead(10000) || !QTest::qWaitFor([&] { return captured == i + 1; }, 10000)) {
            out << "copy " << i << " was not captured within 10 s\n";
            return 1;
        }
        while (xcb_generic_event_t* stale = xcb_poll_for_event(observer))
            std::free(stale);
        QElapsedTimer sinceExit;
        sinceExit.start();
        owner.kill();
        bool served = false;
        while (!served && sinceExit.elapsed() < 2000) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(observer)) {
                if ((event->response_type & 0x7f) == xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY &&
                    reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event)->owner != XCB_WINDOW_NONE)
                    served = true;
                std::free(event);
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        if (!served) {
            out << "copy " << i << " was not served again within 2 s\n";
            return 1;
        }
        latencies.append(double(sinceExit.nsecsElapsed()) / 1e6);
        owner.waitForFinished();
    }
    std::sort(latencies.begin(), latencies.end());
    out << "owner exit to clipboard served again over " << copies << " copies: median " << median(latencies)
        << " ms, max " << latencies.last() << " ms (target: median < 100 ms)\n";
    xcb_disconnect(observer);
    return 0;
}
