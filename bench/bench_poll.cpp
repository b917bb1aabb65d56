// Cost of one poll of a pasteboard that has not changed.
#include "platform/x11/X11Pasteboard.h"
#include "services/ClipboardMonitor.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextStream>

namespace {

double nanosecondsPerPoll(ClipboardMonitor& monitor)
{
    constexpr int polls = 2'000'000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < polls; ++i)
        monitor.poll();
    return static_cast<double>(timer.nsecsElapsed()) / polls;
}

} // namespace

int main(int argc, char** argv)
{
    QTextStream out(stdout);
    FakeWorkspace workspace;

    FakePasteboard fake;
    fake.setText(QStringLiteral("unchanged"));
    ClipboardMonitor fakeMonitor(fake, workspace);
    out << "unchanged poll, in-memory pasteboard: " << nanosecondsPerPoll(fakeMonitor)
        << " ns (target < 10 us)\n";

    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        out << "unchanged poll, X11 pasteboard: skipped (no DISPLAY)\n";
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    X11Pasteboard pasteboard(qgetenv("DISPLAY"));
    ClipboardMonitor monitor(pasteboard, workspace);
    out << "unchanged poll, X11 pasteboard: " << nanosecondsPerPoll(monitor) << " ns (target < 10 us)\n";
    return 0;
}
