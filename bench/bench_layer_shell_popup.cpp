// The quick paste popup drawn for a Wayland layer surface, over 200 entries of which 20 are images whose
// thumbnails are decoded already: show() to the first frame presented (the chord's latency on the
// popup's side; 50 appearances at varied selections), and one step (V), the session published again,
// to its frame presented while the compositor is ready (200 steps); at scales 1 and 2. The surface is a
// stand-in that takes each frame and is ready for the next at once; Qt draws offscreen.
#include "BenchFigures.h"
#include "BenchPopup.h"
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
        history.append(popupBenchEntry(index, 10, QSize(640, 400)));

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
