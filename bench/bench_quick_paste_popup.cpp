// The quick paste popup over 200 entries, a quarter of them images: how long show() takes until the
// window is exposed on the display (median of 20 appearances), and one selection step, the session
// published again and the popup repainted (median of 200 steps). Thumbnails decode on their own
// thread, so no appearance waits for them. Run it on an X display.
#include "BenchFigures.h"
#include "BenchPopup.h"
#include "models/PasteboardType.h"
#include "support/EncodedImage.h"
#include "support/EntryBuilder.h"
#include "ui/quickpaste/QuickPastePanelController.h"
#include "ui/quickpaste/QuickPasteView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTextStream>
#include <QWindow>

namespace {

constexpr int entryCount = 200;
constexpr int appearances = 20;
constexpr int steps = 200;

QString figure(const QList<double>& times, double target)
{
    const double middle = median(times);
    return QStringLiteral("median %1 ms (max %2); target < %3 ms: %4")
        .arg(middle, 0, 'f', 2)
        .arg(*std::max_element(times.cbegin(), times.cend()), 0, 'f', 2)
        .arg(target)
        .arg(middle < target ? QStringLiteral("met") : QStringLiteral("MISSED"));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QList<ClipboardEntry> history;
    for (int index = 0; index < entryCount; ++index)
        history.append(popupBenchEntry(index, 4, QSize(800, 520)));

    QuickPastePanelController popup;
    QuickPasteView& panel = popup.panel();
    QList<double> shows;
    for (int appearance = 0; appearance < appearances; ++appearance) {
        QuickPasteSession session = QuickPasteSession::over(history);
        session.selectedIndex = appearance * 7 % entryCount;
        QElapsedTimer timer;
        timer.start();
        popup.show(session, QStringLiteral("Text Editor"));
        if (!waitFor([&panel] { return panel.windowHandle()->isExposed(); }, 5000)) {
            out << "the popup was never exposed\n";
            return 1;
        }
        shows.append(timer.nsecsElapsed() / 1e6);
        // Let the thumbnails of this appearance arrive before the next one.
        waitFor([] { return false; }, 150);
        popup.hide();
        waitFor([&panel] { return !panel.windowHandle()->isExposed(); }, 5000);
    }
    out << "show() to exposed, " << entryCount << " entries: " << figure(shows, 50) << '\n';

    QuickPasteSession session = QuickPasteSession::over(history);
    popup.show(session, QStringLiteral("Text Editor"));
    waitFor([&panel] { return panel.windowHandle()->isExposed(); }, 5000);
    waitFor([] { return false; }, 300);
    QList<double> cycles;
    for (int step = 0; step < steps; ++step) {
        session.triggerDown(QuickPasteSession::Direction::next, false);
        QElapsedTimer timer;
        timer.start();
        popup.show(session, QStringLiteral("Text Editor"));
        panel.repaint();
        cycles.append(timer.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }
    out << "one selection step, republish and repaint: " << figure(cycles, 8) << '\n';
    return 0;
}
