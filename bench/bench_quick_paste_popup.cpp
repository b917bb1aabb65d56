// The quick paste popup over 200 entries, a quarter of them images: how long show() takes until the
// window is exposed on the display (median of 20 appearances), and one selection step, the session
// published again and the popup repainted (median of 200 steps). Thumbnails decode on their own
// thread, so no appearance waits for them. Run it on an X display.
#include "BenchFigures.h"
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

ClipboardEntry entryFor(int index)
{
    const double time = 800000000.0 - index * 611;
    if (index % 4 != 2)
        return makeEntry(
            QStringLiteral("Meeting notes %1: the quarterly figures are in, and the review moves "
                           "to Thursday afternoon so everyone can attend")
                .arg(index),
            time, 0, QStringLiteral("Text Editor"));
    QImage image(800, 520, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, image.width(), image.height());
    gradient.setColorAt(0, QColor::fromHsv(index * 37 % 360, 160, 230));
    gradient.setColorAt(1, QColor::fromHsv(index * 91 % 360, 200, 120));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    ClipboardEntry entry = makeEntry(QString(), time, 0, QStringLiteral("Image Viewer"));
    entry.kind = ClipboardKind::image;
    entry.plainText.reset();
    entry.items = {{{{PasteboardType::png, encodedImage(image, "png")}}}};
    return refreshed(entry);
}

bool waitFor(const std::function<bool()>& condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

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
        history.append(entryFor(index));

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
