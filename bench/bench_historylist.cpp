// Paints a full viewport of the history list (420 × 760, text, link, image and file rows mixed, the
// thumbnails already decoded, application icons known) and reports how long one paint takes. A second
// figure sizes all 200 rows, as a relayout after a thumbnail arrives does.
// With --save <path> it also writes the painted viewport, for a look.
#include "BenchFigures.h"
#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "app/Preferences.h"
#include "models/PasteboardType.h"
#include "support/EncodedImage.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/history/HistoryListModel.h"
#include "ui/history/HistoryListView.h"
#include "ui/common/HistoryThumbnailCache.h"
#include "ui/common/SourceApplicationIconCache.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImageWriter>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int rows = 200;
constexpr int paints = 300;
constexpr double target = 8;

QByteArray photo(int seed)
{
    QImage image(800, 520 + 40 * (seed % 5), QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, image.width(), image.height());
    gradient.setColorAt(0, QColor::fromHsv(seed * 37 % 360, 160, 230));
    gradient.setColorAt(1, QColor::fromHsv(seed * 91 % 360, 200, 120));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    return encodedImage(image, "png");
}

ClipboardEntry entryFor(int index)
{
    static const QStringList sources{QStringLiteral("Firefox"), QStringLiteral("Terminal"),
                                     QStringLiteral("Text Editor"), QStringLiteral("Files")};
    const double time = 800000000.0 - index * 611;
    ClipboardEntry entry;
    switch (index % 4) {
    case 0:
        entry = makeEntry(
            QStringLiteral("Meeting notes %1: the quarterly figures are in, and the review moves to "
                           "Thursday afternoon so everyone can attend")
                .arg(index),
            time, 0, sources[index % 4]);
        break;
    case 1:
        entry =
            makeEntry(QStringLiteral("https://example.org/articles/%1/history-of-the-clipboard").arg(index),
                      time, 0, sources[index % 4]);
        entry.kind = ClipboardKind::link;
        break;
    case 2:
        entry = makeEntry(QString(), time, 0, sources[index % 4]);
        entry.kind = ClipboardKind::image;
        entry.plainText.reset();
        entry.items = {{{{PasteboardType::png, photo(index)}}}};
        break;
    default:
        entry = makeEntry(QString(), time, 0, sources[index % 4]);
        entry.kind = ClipboardKind::file;
        entry.plainText.reset();
        entry.items = {{{{PasteboardType::fileURL,
                          QUrl::fromLocalFile(QStringLiteral("/home/user/Documents/report-%1.pdf").arg(index))
                              .toEncoded()}}}};
        break;
    }
    entry.sourceBundleIdentifier = sources[index % 4].toLower().remove(u' ') + QStringLiteral(".desktop");
    entry.fingerprint = ClipboardEntry::fingerprintOf(entry.items);
    return entry;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    AppLocalization::shared().select(AppLanguage::english);
    QTextStream out(stdout);

    QTemporaryDir root;
    QList<ClipboardEntry> entries;
    for (int index = 0; index < rows; ++index)
        entries.append(entryFor(index));
    HistoryRepository::write(root.filePath(QStringLiteral("history")), entries);

    FakeWorkspace workspace;
    for (const QString& source : {QStringLiteral("firefox"), QStringLiteral("terminal"),
                                  QStringLiteral("texteditor"), QStringLiteral("files")}) {
        const QString url = QStringLiteral("/usr/share/applications/%1.desktop").arg(source);
        workspace.installedByIdentifier.insert(source + QStringLiteral(".desktop"), url);
        QPixmap icon(64, 64);
        icon.fill(QColor::fromHsv(int(qHash(source) % 360), 180, 200));
        workspace.icons.insert(url, QIcon(icon));
    }
    SourceApplicationIconCache icons(workspace);
    SourceApplicationIconCache::setShared(&icons);

    Preferences preferences(root.filePath(QStringLiteral("Clipwell.conf")));
    FakePasteboard pasteboard;
    AppModel model(pasteboard, workspace, preferences, root.filePath(QStringLiteral("history")),
                   std::make_unique<ManualDelayTimer>());
    model.start();
    if (!waitFor([&model] { return !model.isLoading(); }, 30000)) {
        out << "history did not load\n";
        return 1;
    }

    HistoryThumbnailCache thumbnails;
    HistoryListView view(model, nullptr, std::make_unique<ManualDelayTimer>(), &thumbnails);
    view.resize(420, 760);
    view.show();
    model.setSelection(entries[1].id);
    QImage frame(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const auto paint = [&view, &frame] {
        frame.fill(Qt::transparent);
        view.viewport()->render(&frame);
    };
    // Until every visible thumbnail and icon is in and the rows have their final heights.
    paint();
    if (!waitFor(
            [&] {
                paint();
                return !view.listModel().hasLoadingImages();
            },
            30000)) {
        out << "thumbnails did not arrive\n";
        return 1;
    }
    waitFor([] { return false; }, 100);
    paint();

    QList<double> times;
    for (int run = 0; run < paints; ++run) {
        QElapsedTimer timer;
        timer.start();
        paint();
        times.append(double(timer.nsecsElapsed()) / 1e6);
    }
    const double medianMs = median(times);
    out << "viewport " << frame.width() << 'x' << frame.height() << ", " << rows << " rows: median "
        << QString::number(medianMs, 'f', 2) << " ms (min "
        << QString::number(*std::min_element(times.cbegin(), times.cend()), 'f', 2) << ") over " << paints
        << " paints; target < " << target << " ms: " << (medianMs < target ? "met" : "MISSED") << '\n';

    QList<double> layouts;
    for (int run = 0; run < 30; ++run) {
        QElapsedTimer timer;
        timer.start();
        view.doItemsLayout();
        layouts.append(double(timer.nsecsElapsed()) / 1e6);
    }
    out << "layout of all " << rows << " rows: median " << QString::number(median(layouts), 'f', 2)
        << " ms (min " << QString::number(*std::min_element(layouts.cbegin(), layouts.cend()), 'f', 2)
        << ")\n";

    const QStringList arguments = app.arguments();
    if (const qsizetype save = arguments.indexOf(QStringLiteral("--save"));
        save >= 0 && save + 1 < arguments.size())
        frame.save(arguments[save + 1]);
    SourceApplicationIconCache::setShared(nullptr);
    return 0;
}
