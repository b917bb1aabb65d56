// The quick paste popup drawn for a Wayland layer surface, over 200 entries of which 20 are images whose
// thumbnails are decoded already: show() to the first frame presented (the chord's latency on the
// popup's side; 50 appearances at varied selections), and one step (V), the session published again,
// to its frame presented while the compositor is ready (200 steps); at scales 1 and 2. The surface is a
// stand-in that takes each frame and is ready for the next at once; Qt draws offscreen.
#include "BenchFigures.h"
#include "models/PasteboardType.h"
#include "platform/PopupSurface.h"
#include "support/EncodedImage.h"
#include "support/EntryBuilder.h"
#include "ui/common/HistoryThumbnailCache.h"
#include "ui/common/ImageDecoding.h"
#include "ui/quickpaste/LayerShellQuickPastePopup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTextStream>
#include <QTimer>

namespace {

constexpr int entryCount = 200;
constexpr int appearances = 50;
constexpr int steps = 200;

// Takes frames as a compositor would, and is ready for the next one once the event loop turns.
class BenchSurface final : public PopupSurface {
public:
    int currentScale = 1;
    int presented = 0;
    bool inFlight = false;

    int scale() const override { return currentScale; }
    QSize availableSize() const override { return {1920, 1080}; }
    void present(const QImage&) override
    {
        ++presented;
        inFlight = true;
        QTimer::singleShot(0, [this] {
            inFlight = false;
            if (onFrameDone)
                onFrameDone();
        });
    }
    void hide() override {}
};

ClipboardEntry entryFor(int index)
{
    const double time = 800000000.0 - index * 611;
    if (index % 10 != 2)
        return makeEntry(
            QStringLiteral("Meeting notes %1: the quarterly figures are in, and the review moves "
                           "to Thursday afternoon so everyone can attend")
                .arg(index),
            time, 0, QStringLiteral("Text Editor"));
    QImage image(640, 400, QImage::Format_RGB32);
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

QString figure(QList<double> times, double target)
{
    std::sort(times.begin(), times.end());
    const double middle = median(times);
    return QStringLiteral("median %1 ms, p95 %2 ms (max %3); target median <= %4 ms: %5")
        .arg(middle, 0, 'f', 2)
        .arg(times[qsizetype(times.size() * 0.95)], 0, 'f', 2)
        .arg(times.last(), 0, 'f', 2)
        .arg(target)
        .arg(middle <= target ? QStringLiteral("met") : QStringLiteral("MISSED"));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QList<ClipboardEntry> history;
    for (int index = 0; index < entryCount; ++index)
        history.append(entryFor(index));

    // Every image decoded before the first chord.
    int decoded = 0;
    QObject context;
    for (const ClipboardEntry& entry : std::as_const(history)) {
        if (entry.kind == ClipboardKind::image)
            HistoryThumbnailCache::shared().request(entry.fingerprint, *ImageDecoding::imageData(entry),
                                                    &context, [&decoded](auto) { ++decoded; });
    }
    if (!waitFor([&decoded] { return decoded == entryCount / 10; }, 30000)) {
        out << "the thumbnails were never decoded\n";
        return 1;
    }

    for (const int scale : {1, 2}) {
        BenchSurface surface;
        surface.currentScale = scale;
        LayerShellQuickPastePopup popup(surface);
        QList<double> shows;
        for (int appearance = 0; appearance < appearances; ++appearance) {
            QuickPasteSession session = QuickPasteSession::over(history);
            session.selectedIndex = appearance * 7 % entryCount;
            const int before = surface.presented;
            QElapsedTimer timer;
            timer.start();
            popup.show(session, QStringLiteral("Text Editor"));
            const double elapsed = timer.nsecsElapsed() / 1e6;
            if (surface.presented != before + 1) {
                out << "show() presented no frame\n";
                return 1;
            }
            shows.append(elapsed);
            waitFor([] { return false; }, 30);
            popup.hide();
            waitFor([&surface] { return !surface.inFlight; }, 1000);
        }
        out << "scale " << scale << ", show() to first frame presented, " << entryCount
            << " entries: " << figure(shows, 16) << '\n';

        QuickPasteSession session = QuickPasteSession::over(history);
        popup.show(session, QStringLiteral("Text Editor"));
        QList<double> cycles;
        for (int step = 0; step < steps; ++step) {
            waitFor([&surface] { return !surface.inFlight; }, 1000);
            session.triggerDown(QuickPasteSession::Direction::next, false);
            const int before = surface.presented;
            QElapsedTimer timer;
            timer.start();
            popup.show(session, QStringLiteral("Text Editor"));
            if (!waitFor([&] { return surface.presented > before; }, 1000)) {
                out << "a step presented no frame\n";
                return 1;
            }
            cycles.append(timer.nsecsElapsed() / 1e6);
        }
        popup.hide();
        out << "scale " << scale << ", one step to its frame presented: " << figure(cycles, 8) << '\n';
    }
    return 0;
}
