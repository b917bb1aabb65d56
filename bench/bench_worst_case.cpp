// The history window over a worst-case history: 200 entries, about 64 MiB (huge single-line texts,
// many-line logs, big images, entries of 5,000 files). Starts the window, selects every entry, types a
// query, scrolls the list, and prints the longest stall of the GUI thread in each phase: how late a
// 5 ms timer fires. Keys are also timed from press to handled.
#include "BenchFigures.h"
#include "app/AppModel.h"
#include "app/Preferences.h"
#include "l10n/Localization.h"
#include "models/PasteboardType.h"
#include "support/EncodedImage.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "ui/detail/DetailView.h"
#include "ui/history/HistoryListView.h"
#include "ui/history/HistorySearchField.h"
#include "ui/history/HistorySidebar.h"
#include "ui/history/HistorySplitController.h"
#include "ui/history/MainWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr double stallTarget = 50;
constexpr int tick = 5;

QTextStream out(stdout);

// One line of about `bytes` bytes of UTF-8 in one of three languages.
QString longLine(int index, qsizetype bytes)
{
    static const QStringList samples{
        u"The quick brown fox jumps over the lazy dog near the riverbank; "_s,
        u"Größere Änderungen am Übersetzungssystem müssen noch geprüft werden; "_s,
        u"剪贴板历史记录可以帮助你快速找到之前复制过的内容，"_s,
    };
    const QString& sample = samples[index % samples.size()];
    const qsizetype sampleBytes = sample.toUtf8().size();
    return sample.repeated(bytes / sampleBytes + 1) + QString::number(index);
}

QString log(int index, qsizetype bytes)
{
    static const QStringList levels{u"INFO"_s, u"WARN"_s, u"ERROR"_s, u"DEBUG"_s};
    QString text;
    for (int line = 0; text.size() < bytes; ++line) {
        text += u"2026-12-06 21:%1:%2.%3 %4 [worker-%5] request %6 handled in %7 ms\n"_s
                    .arg(line / 60 % 60, 2, 10, QChar(u'0'))
                    .arg(line % 60, 2, 10, QChar(u'0'))
                    .arg(line * 7 % 1000, 3, 10, QChar(u'0'))
                    .arg(levels[(line + index) % levels.size()])
                    .arg(line % 8)
                    .arg(index * 100000 + line)
                    .arg(line * 13 % 997);
    }
    return text;
}

QByteArray noisePng(int seed, int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < side; ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    return encodedImage(image, "png");
}

ClipboardEntry files(int index, int count, double time)
{
    ClipboardEntry entry = makeEntry(QString(), time, 0, u"Files"_s);
    entry.kind = ClipboardKind::file;
    entry.plainText.reset();
    entry.items.clear();
    for (int file = 0; file < count; ++file) {
        const QString path =
            u"/home/user/Pictures/trip-%1/IMG_%2.jpg"_s.arg(index).arg(file, 5, 10, QChar(u'0'));
        entry.items.append({{{PasteboardType::fileURL, QUrl::fromLocalFile(path).toEncoded()}}});
    }
    return refreshed(entry);
}

// Newest first: the kinds interleaved so that every screenful mixes them.
QList<ClipboardEntry> worstCaseHistory()
{
    QList<ClipboardEntry> entries;
    const QStringList sources{u"Terminal"_s, u"Firefox"_s, u"Text Editor"_s, QString()};
    int huge = 0, logs = 0, images = 0, fileLists = 0;
    for (int index = 0; index < 200; ++index) {
        const double time = 800000000.0 - index * 97;
        const QString& source = sources[index % sources.size()];
        if (index % 4 == 0 && huge < 50) {
            entries.append(makeEntry(longLine(huge++, 610 * 1024), time, 0, source));
        } else if (index % 4 == 1 && logs < 40) {
            entries.append(makeEntry(log(logs++, 500 * 1024), time, 0, u"Terminal"_s));
        } else if (index % 20 == 2 && images < 5) {
            ClipboardEntry entry = makeEntry(QString(), time, 0, u"Image Viewer"_s);
            entry.kind = ClipboardKind::image;
            entry.plainText.reset();
            entry.items = {{{{PasteboardType::png, noisePng(images++, 900)}}}};
            entries.append(refreshed(entry));
        } else if (index % 20 == 6 && fileLists < 10) {
            entries.append(files(fileLists++, 5000, time));
        } else if (index % 3 == 0) {
            ClipboardEntry entry =
                makeEntry(u"https://example.org/articles/%1/clipboard"_s.arg(index), time, 0, u"Firefox"_s);
            entry.kind = ClipboardKind::link;
            entries.append(entry);
        } else {
            entries.append(
                makeEntry(u"Meeting notes %1: the review moves to Thursday"_s.arg(index), time, 0, source));
        }
    }
    return entries;
}

struct Stalls {
    double all = 0;
    // Leaving out the intervals in which another entry was selected, whose preview the detail pane
    // builds on the GUI thread.
    double withoutNewSelection = 0;
};

// How late a 5 ms timer fires: the longest time the event loop could not run, per phase.
class StallMeter : public QObject {
public:
    explicit StallMeter(AppModel& model)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(tick);
        connect(&m_timer, &QTimer::timeout, this, &StallMeter::measure);
        connect(&model, &AppModel::selectionChanged, this, [this] { m_selectionMoved = true; });
    }

    void start()
    {
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    // The worst since the last call.
    Stalls take()
    {
        measure();
        return std::exchange(m_worst, Stalls{});
    }

private:
    void measure()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const double late = double(now - m_last) / 1e6 - tick;
        m_worst.all = std::max(m_worst.all, late);
        if (!m_selectionMoved)
            m_worst.withoutNewSelection = std::max(m_worst.withoutNewSelection, late);
        m_last = now;
        m_selectionMoved = false;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    bool m_selectionMoved = false;
    Stalls m_worst;
};

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        spin(tick);
    }
    return true;
}

QString ms(double value)
{
    return QString::number(value, 'f', 1) + u" ms"_s;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    AppLocalization::shared().select(AppLanguage::english);

    QTemporaryDir root;
    const QList<ClipboardEntry> history = worstCaseHistory();
    qint64 bytes = 0;
    for (const ClipboardEntry& entry : history)
        bytes += entry.byteCount();
    HistoryRepository::write(root.filePath(u"history"_s), history);
    out << history.size() << " entries, " << QString::number(double(bytes) / (1 << 20), 'f', 1) << " MiB\n"
        << Qt::flush;

    Preferences preferences(root.filePath(u"Clipwell.conf"_s));
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    AppModel model(pasteboard, workspace, preferences, root.filePath(u"history"_s));
    MainWindowController window(model, preferences, new DetailView(model), [] {});
    auto* sidebar = qobject_cast<HistorySidebar*>(window.splitController()->sidebar());
    HistoryListView* list = sidebar->listView();
    QLineEdit* input = sidebar->searchField()->lineEdit();

    StallMeter meter(model);
    QList<std::pair<QString, Stalls>> phases;
    model.start();
    window.present();
    meter.start();
    if (!spinUntil([&model] { return !model.isLoading(); }, 120000)) {
        out << "the history did not load\n";
        return 1;
    }
    spin(1000);
    phases.append({u"loading into the shown window"_s, meter.take()});

    // Down through every row, as fast as a held arrow key repeats.
    list->setFocus();
    for (int row = 1; row < history.size(); ++row) {
        QTest::keyClick(list, Qt::Key_Down);
        spin(30);
    }
    spin(500);
    phases.append({u"selecting each of the 200 entries"_s, meter.take()});

    // Typing, a key every 120 ms, then deleting it again; the last result is waited for each time.
    input->setFocus();
    QList<double> keys;
    const auto press = [&](auto key) {
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(input, key);
        list->viewport()->repaint();
        keys.append(double(timer.nsecsElapsed()) / 1e6);
        spin(120);
    };
    const QString query = u"handled in 17"_s;
    QElapsedTimer resultTimer;
    double resultLatency = 0;
    for (int round = 0; round < 2; ++round) {
        for (const QChar character : query)
            press(character.toLatin1());
        resultTimer.start();
        spinUntil([&] { return !model.isSearching(); }, 60000);
        resultLatency = std::max(resultLatency, double(resultTimer.nsecsElapsed()) / 1e6);
        for (qsizetype index = 0; index < query.size(); ++index)
            press(Qt::Key_Backspace);
        spinUntil([&] { return !model.isSearching(); }, 60000);
    }
    spin(500);
    phases.append({u"typing a query and deleting it, twice"_s, meter.take()});

    // Scrolling through the whole list and back, a step per frame.
    QScrollBar* bar = list->verticalScrollBar();
    for (int direction : {1, -1}) {
        for (int step = 0; step < 400; ++step) {
            const int before = bar->value();
            bar->setValue(before + direction * 120);
            spin(16);
            if (bar->value() == before)
                break;
        }
    }
    spin(500);
    phases.append({u"scrolling to the end and back"_s, meter.take()});

    // What the list spends sizing its rows, as after the query is emptied or a search result arrives.
    QList<double> layouts;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        list->doItemsLayout();
        layouts.append(double(timer.nsecsElapsed()) / 1e6);
    }

    Stalls worst;
    for (const auto& [phase, stalls] : phases) {
        out << phase << ": longest stall " << ms(stalls.all) << ", " << ms(stalls.withoutNewSelection)
            << " where no other entry was selected\n";
        worst.all = std::max(worst.all, stalls.all);
        worst.withoutNewSelection = std::max(worst.withoutNewSelection, stalls.withoutNewSelection);
    }
    out << "keys in the search field, press to repainted list: median " << ms(median(keys)) << ", worst "
        << ms(*std::max_element(keys.cbegin(), keys.cend())) << " over " << keys.size() << " keys\n";
    out << "laying out the list's " << list->model()->rowCount() << " rows: median " << ms(median(layouts))
        << '\n';
    out << "the full query's result shown " << ms(resultLatency) << " after its last key\n";
    for (const auto& [figure, name] :
         {std::pair{worst.all, "longest stall after the window was shown"},
          std::pair{worst.withoutNewSelection, "the same where no other entry was selected"}})
        out << name << ": " << ms(figure) << "; target <= " << stallTarget
            << " ms: " << (figure <= stallTarget ? "met" : "MISSED") << '\n';
    return 0;
}
