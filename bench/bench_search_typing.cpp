// Typing a query into the history window's search field with 200 entries: the time from each key press
// to the list repainted with the new matches.
#include "BenchFigures.h"
#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "app/Preferences.h"
#include "services/HistoryRepository.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/history/HistoryListView.h"
#include "ui/history/HistorySearchField.h"
#include "ui/history/HistorySidebar.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr double target = 16;

QList<ClipboardEntry> history()
{
    const QStringList words = {u"invoice"_s,        u"meeting notes"_s,   u"https://example.com/release"_s,
                               u"grocery list"_s,   u"会议纪要"_s,        u"deploy script"_s,
                               u"password reset"_s, u"Quarterly report"_s};
    QList<ClipboardEntry> entries;
    for (int index = 0; index < 200; ++index) {
        QString text = words[index % words.size()] + u" %1 "_s.arg(index);
        text += QString(u"lorem ipsum dolor sit amet "_s).repeated(1 + index % 5);
        entries.append(makeEntry(text, 1'000'000 - index, 0, index % 3 ? u"Editor"_s : u"Firefox"_s));
    }
    return entries;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    AppLocalization::shared().select(AppLanguage::english);

    QTemporaryDir root;
    Preferences preferences(root.filePath(u"Clipwell.conf"_s));
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    HistoryRepository::write(root.filePath(u"history"_s), history());
    AppModel model(pasteboard, workspace, preferences, root.filePath(u"history"_s),
                   std::make_unique<ManualDelayTimer>());
    HistorySidebar sidebar(model, {}, nullptr, std::make_unique<ManualDelayTimer>(),
                           std::make_unique<ManualDelayTimer>());
    sidebar.resize(420, 800);
    sidebar.show();
    model.start();
    if (!QTest::qWaitFor([&] { return !model.isLoading(); }, 10000)) {
        QTextStream(stderr) << "The history did not load." << Qt::endl;
        return 1;
    }
    QApplication::processEvents();

    QLineEdit* input = sidebar.searchField()->findChild<QLineEdit*>();
    QWidget* viewport = sidebar.listView()->viewport();
    QList<double> times;
    const QString query = u"meeting notes 1"_s;
    for (int round = 0; round < 20; ++round) {
        input->setFocus();
        for (const QChar character : query) {
            QElapsedTimer timer;
            timer.start();
            QTest::keyClick(input, character.toLatin1());
            viewport->repaint();
            times.append(timer.nsecsElapsed() / 1e6);
        }
        for (int index = 0; index < query.size(); ++index) {
            QElapsedTimer timer;
            timer.start();
            QTest::keyClick(input, Qt::Key_Backspace);
            viewport->repaint();
            times.append(timer.nsecsElapsed() / 1e6);
        }
    }
    const double worst = *std::max_element(times.begin(), times.end());
    QTextStream(stdout) << "typing into search with 200 entries, key to repainted list: median "
                        << QString::number(median(times), 'f', 2) << " ms, worst "
                        << QString::number(worst, 'f', 2) << " ms over " << times.size() << " keys; target < "
                        << target << " ms: " << (median(times) < target ? "met" : "MISSED") << Qt::endl;
    return 0;
}
