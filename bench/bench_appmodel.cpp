// The history list's search over 200 entries, and the cost of recording one capture.
#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "app/Preferences.h"
#include "models/PasteboardType.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>

namespace {

ClipboardEntry entry(int index, ClipboardKind kind, QList<PasteboardItemSnapshot> items,
                     std::optional<QString> text)
{
    ClipboardEntry e;
    e.id = QUuid::createUuid();
    e.capturedAt = e.lastCopiedAt = Timestamp{1000.0 - index};
    e.sourceName = index % 3 == 0 ? QString() : QStringLiteral("Editor %1").arg(index % 7);
    e.kind = kind;
    e.plainText = std::move(text);
    e.items = std::move(items);
    e.fingerprint = ClipboardEntry::fingerprintOf(e.items);
    e.title = ClipboardEntry::classify(e.items, e.plainText).title;
    e.deduplicationKey = ClipboardEntry::makeDeduplicationKey(e.sourceName, std::nullopt, e.fingerprint);
    return e;
}

// About `bytes` bytes of UTF-8 text in one of three languages.
QString prose(int index, qsizetype bytes)
{
    static const QStringList samples{
        QStringLiteral("The quick brown fox jumps over the lazy dog near the riverbank, "),
        QStringLiteral("Größere Änderungen am Übersetzungssystem müssen noch geprüft werden, "),
        QStringLiteral("剪贴板历史记录可以帮助你快速找到之前复制过的内容，"),
    };
    QString text;
    while (text.toUtf8().size() < bytes)
        text += samples[index % samples.size()];
    while (text.toUtf8().size() > bytes)
        text.chop(1);
    return text;
}

QList<ClipboardEntry> typicalHistory()
{
    QList<ClipboardEntry> entries;
    for (int i = 0; i < 200; ++i) {
        switch (i % 5) {
        case 0:
        case 1: {
            const QString text = prose(i, 200 + (i * 37) % 1849);
            entries.append(
                entry(i, ClipboardKind::text, {{{{PasteboardType::plainText, text.toUtf8()}}}}, text));
            break;
        }
        case 2: {
            const QString url = QStringLiteral("https://example.com/articles/%1?ref=clip").arg(i);
            entries.append(
                entry(i, ClipboardKind::link, {{{{PasteboardType::plainText, url.toUtf8()}}}}, url));
            break;
        }
        case 3:
            entries.append(entry(i, ClipboardKind::image,
                                 {{{{PasteboardType::png, QByteArray(20000, char(i))}}}}, std::nullopt));
            break;
        default:
            entries.append(
                entry(i, ClipboardKind::file,
                      {{{{PasteboardType::fileURL, QByteArray("file:///home/user/Documents/report-") +
                                                       QByteArray::number(i) + ".pdf"}}},
                       {{{PasteboardType::fileURL, "file:///home/user/Pictures/photo.jpg"}}}},
                      std::nullopt));
        }
    }
    return entries;
}

QList<ClipboardEntry> worstCaseHistory()
{
    QList<ClipboardEntry> entries;
    for (int i = 0; i < 200; ++i) {
        const QString text = prose(i, 320 * 1024) + QString::number(i);
        entries.append(entry(i, ClipboardKind::text, {{{{PasteboardType::plainText, text.toUtf8()}}}}, text));
    }
    return entries;
}

double medianMs(QList<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

struct LoadedModel {
    QTemporaryDir directory;
    Preferences preferences{directory.filePath(QStringLiteral("Clipwell.conf"))};
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    AppModel model{pasteboard, workspace, preferences, directory.filePath(QStringLiteral("history"))};

    explicit LoadedModel(const QList<ClipboardEntry>& entries)
    {
        HistoryRepository::write(directory.filePath(QStringLiteral("history")), entries);
        model.start();
        if (!QTest::qWaitFor([this] { return !model.isLoading(); }, 60000))
            qFatal("the history did not load");
    }
};

struct SearchTimes {
    // Setting the query: what the GUI thread spends per key.
    double onGuiThread = 0;
    // Until the visible list holds the result.
    double untilShown = 0;
};

// A new term each run, so that no answer is known yet.
SearchTimes searchMs(const QList<ClipboardEntry>& entries, int runs)
{
    LoadedModel loaded(entries);
    if (loaded.model.entries().size() != entries.size())
        QTextStream(stdout) << "(only " << loaded.model.entries().size() << " of " << entries.size()
                            << " entries loaded)\n";
    QList<double> onGuiThread, untilShown;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        loaded.model.setQuery(QStringLiteral("zebra crossing %1").arg(i));
        onGuiThread.append(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (!QTest::qWaitFor([&loaded] { return !loaded.model.isSearching(); }, 60000))
            qFatal("the search did not finish");
        untilShown.append(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        Q_ASSERT(loaded.model.filteredEntries().isEmpty());
    }
    return {medianMs(onGuiThread), medianMs(untilShown)};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    AppLocalization::shared().select(AppLanguage::english);
    QTextStream out(stdout);

    const SearchTimes typical = searchMs(typicalHistory(), 50);
    out << "search, 200 typical entries, no match: " << typical.onGuiThread << " ms on the GUI thread, "
        << typical.untilShown << " ms until shown (target <= 2 ms)\n"
        << Qt::flush;
    const SearchTimes worst = searchMs(worstCaseHistory(), 3);
    out << "search, 200 entries of 320 KB of text, no match: " << worst.onGuiThread
        << " ms on the GUI thread (target < 16 ms), " << worst.untilShown << " ms until shown (no target)\n"
        << Qt::flush;

    LoadedModel loaded(typicalHistory());
    QList<double> samples;
    for (int i = 0; i < 200; ++i) {
        loaded.pasteboard.setText(QStringLiteral("capture number %1").arg(i));
        QElapsedTimer timer;
        timer.start();
        loaded.model.clipboard().poll();
        samples.append(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    out << "recording a capture into 200 entries (capture, merge, limits, selection, save scheduled): "
        << medianMs(samples) << " ms median, " << *std::max_element(samples.begin(), samples.end())
        << " ms max (target <= 1 ms)\n";
    return 0;
}
