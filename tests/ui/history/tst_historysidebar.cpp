#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "app/Preferences.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/history/ClearHistoryDialog.h"
#include "ui/common/ClipboardEmptyState.h"
#include "ui/common/HistoryButton.h"
#include "ui/history/HistoryFilterMenu.h"
#include "ui/history/HistoryListView.h"
#include "ui/history/HistorySearchField.h"
#include "ui/history/HistorySidebar.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

enum class Archive { entries, empty, damaged };

struct Harness {
    QTemporaryDir root;
    Preferences preferences{root.filePath(u"Clipwell.conf"_s)};
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    std::unique_ptr<AppModel> model;
    ManualDelayTimer* loadingDelay = nullptr;
    std::unique_ptr<HistorySidebar> sidebar;
    int settingsOpened = 0;

    explicit Harness(const QList<ClipboardEntry>& entries, Archive archive = Archive::entries)
    {
        const QString directory = root.filePath(u"history"_s);
        if (archive == Archive::entries)
            HistoryRepository::write(directory, entries);
        if (archive == Archive::damaged) {
            QDir().mkpath(directory);
            QFile file(directory + u"/history.plist"_s);
            file.open(QIODevice::WriteOnly);
            file.write("not an archive");
        }
        model = std::make_unique<AppModel>(pasteboard, workspace, preferences, directory,
                                           std::make_unique<ManualDelayTimer>());
        auto delay = std::make_unique<ManualDelayTimer>();
        loadingDelay = delay.get();
        sidebar = std::make_unique<HistorySidebar>(
            *model, [this] { ++settingsOpened; }, nullptr, std::move(delay),
            std::make_unique<ManualDelayTimer>());
        sidebar->resize(420, 700);
        sidebar->show();
    }

    bool load()
    {
        model->start();
        return QTest::qWaitFor([this] { return !model->isLoading(); }, 10000);
    }
};

QList<ClipboardEntry> entries(int count)
{
    QList<ClipboardEntry> list;
    for (int index = 0; index < count; ++index)
        list.append(makeEntry(u"entry %1"_s.arg(index), 100 - index));
    return list;
}

} // namespace

class TestHistorySidebar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void listAreaStates_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<Archive>("archive");
        QTest::addColumn<QString>("query");
        QTest::addColumn<HistorySidebar::ListState>("state");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("countText");

        QTest::newRow("empty history") << 0 << Archive::empty << QString() << HistorySidebar::ListState::empty
                                       << L10n::text(L10n::Key::historyEmpty) << u"0 items"_s;
        QTest::newRow("one entry") << 1 << Archive::entries << QString() << HistorySidebar::ListState::list
                                   << QString() << u"1 item"_s;
        QTest::newRow("several entries") << 3 << Archive::entries << QString()
                                         << HistorySidebar::ListState::list << QString() << u"3 items"_s;
        QTest::newRow("query matches one") << 3 << Archive::entries << u"entry 2"_s
                                           << HistorySidebar::ListState::list << QString() << u"1 item"_s;
        QTest::newRow("query matches none")
            << 3 << Archive::entries << u"zebra"_s << HistorySidebar::ListState::empty
            << L10n::text(L10n::Key::noMatches) << u"0 items"_s;
        QTest::newRow("unreadable archive")
            << 0 << Archive::damaged << QString() << HistorySidebar::ListState::unavailable
            << L10n::text(L10n::Key::historyUnavailable) << u"0 items"_s;
    }

    void listAreaStates()
    {
        QFETCH(int, count);
        QFETCH(Archive, archive);
        QFETCH(QString, query);
        QFETCH(HistorySidebar::ListState, state);
        QFETCH(QString, message);
        QFETCH(QString, countText);

        Harness h(entries(count), archive);
        QCOMPARE(h.sidebar->listState(), HistorySidebar::ListState::loading);
        QVERIFY(h.load());
        h.sidebar->searchField()->setText(query);
        QCOMPARE(h.model->query(), query);
        QCOMPARE(h.sidebar->listState(), state);
        QCOMPARE(h.sidebar->countLabel()->text(), countText);
        if (state == HistorySidebar::ListState::empty)
            QCOMPARE(h.sidebar->emptyState()->message(), message);
        if (state == HistorySidebar::ListState::list)
            QVERIFY(h.sidebar->listView()->isVisible());
    }

    void theLoadingIndicatorWaitsForSlowLoads()
    {
        // A load that ends before the delay never shows the indicator, even if the delay fires late.
        Harness quick(entries(2));
        QVERIFY(quick.loadingDelay->isActive());
        QCOMPARE(quick.loadingDelay->delay(), std::chrono::milliseconds(200));
        QVERIFY(!quick.sidebar->clearButton()->isEnabled());
        QVERIFY(quick.load());
        QVERIFY(!quick.loadingDelay->fire());
        QVERIFY(!quick.sidebar->showsLoadingIndicator());
        QVERIFY(quick.sidebar->clearButton()->isEnabled());

        Harness slow(entries(2));
        QVERIFY(slow.loadingDelay->fire());
        QVERIFY(slow.sidebar->showsLoadingIndicator());
        QVERIFY(slow.load());
        QVERIFY(!slow.sidebar->showsLoadingIndicator());
        QCOMPARE(slow.sidebar->listState(), HistorySidebar::ListState::list);
    }

    void theFirstFocusWaitsForTheHistory_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("listFocused");
        QTest::newRow("entries: the list") << 2 << true;
        QTest::newRow("empty: the search field") << 0 << false;
    }

    void theFirstFocusWaitsForTheHistory()
    {
        QFETCH(int, count);
        QFETCH(bool, listFocused);
        Harness h(entries(count), count ? Archive::entries : Archive::empty);
        h.sidebar->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.sidebar.get()));
        QVERIFY(h.load());
        QTRY_COMPARE(h.sidebar->listView()->hasFocus(), listFocused);
        QCOMPARE(h.sidebar->searchField()->isInputFocused(), !listFocused);
    }

    void clearingAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("remaining");
        QTest::newRow("Escape keeps the history") << int(Qt::Key_Escape) << 3;
        QTest::newRow("Return on the default keeps it") << int(Qt::Key_Return) << 3;
        QTest::newRow("Clear History clears it") << 0 << 0;
    }

    void clearingAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(int, remaining);
        Harness h(entries(3));
        QVERIFY(h.load());

        h.sidebar->clearButton()->click();
        ClearHistoryDialog* dialog = h.sidebar->clearConfirmation();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const Qt::WindowFlags flags = dialog->windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(!flags.testAnyFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QCOMPARE(dialog->questionLabel()->text(), L10n::text(L10n::Key::clearConfirmation));
        QCOMPARE(dialog->explanationLabel()->text(), L10n::text(L10n::Key::clearExplanation));
        QCOMPARE(dialog->clearButton()->text(), L10n::text(L10n::Key::clearHistory));
        QCOMPARE(dialog->clearButton()->kind(), HistoryButtonStyle::Kind::destructive);
        QCOMPARE(dialog->focusWidget(), dialog->cancelButton());

        if (answer)
            QTest::keyClick(dialog->focusWidget(), Qt::Key(answer));
        else
            dialog->clearButton()->click();
        QTRY_VERIFY(!h.sidebar->clearConfirmation());
        QCOMPARE(h.model->entries().size(), remaining);
    }

    // The field and the list read as one column: Down enters the list, Up on its first row leaves it.
    void arrowsCrossBetweenFieldAndList_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("fromField");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("listFocused");
        QTest::addColumn<int>("selectedAfter");
        QTest::newRow("Down enters at the selection") << 1 << true << int(Qt::Key_Down) << true << 1;
        QTest::newRow("Down without a selection picks the first row")
            << -1 << true << int(Qt::Key_Down) << true << 0;
        QTest::newRow("Up on the first row leaves") << 0 << false << int(Qt::Key_Up) << false << 0;
        QTest::newRow("Up further down moves up") << 2 << false << int(Qt::Key_Up) << true << 1;
    }

    void arrowsCrossBetweenFieldAndList()
    {
        QFETCH(int, selected);
        QFETCH(bool, fromField);
        QFETCH(int, key);
        QFETCH(bool, listFocused);
        QFETCH(int, selectedAfter);
        Harness h(entries(3));
        h.sidebar->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.sidebar.get()));
        QVERIFY(h.load());
        h.model->setSelection(selected < 0 ? QUuid() : h.model->entries().at(selected).id);
        QWidget* from =
            fromField ? h.sidebar->searchField()->lineEdit() : static_cast<QWidget*>(h.sidebar->listView());
        from->setFocus();
        QTest::keyClick(from, Qt::Key(key));
        QCOMPARE(h.sidebar->listView()->hasFocus(), listFocused);
        QCOMPARE(h.sidebar->searchField()->isInputFocused(), !listFocused);
        QCOMPARE(h.model->selection(), h.model->entries().at(selectedAfter).id);
    }

    void searchAndFilterFollowTheModelBothWays()
    {
        Harness h(entries(3));
        QVERIFY(h.load());
        h.model->setSelection(h.model->entries().at(1).id);

        // A query that hides the selected entry moves the selection to what is still listed.
        h.sidebar->searchField()->setText(u"entry 2"_s);
        QCOMPARE(h.model->selection(), h.model->entries().at(2).id);
        h.model->setQuery(QString());
        QCOMPARE(h.sidebar->searchField()->text(), QString());

        h.sidebar->filterMenu()->setSelection(ClipboardKind::image);
        QCOMPARE(h.model->filter(), std::optional(ClipboardKind::image));
        QVERIFY(h.model->selection().isNull());
        h.model->setFilter(std::nullopt);
        QCOMPARE(h.sidebar->filterMenu()->selection(), std::nullopt);
        QVERIFY(!h.model->selection().isNull());
    }

    void headerAndPausedNotice()
    {
        Harness h(entries(1));
        QVERIFY(h.load());
        h.sidebar->settingsButton()->click();
        QCOMPARE(h.settingsOpened, 1);
        // With nothing to open the gear is no Tab stop.
        HistorySidebar withoutSettings(*h.model, {});
        QCOMPARE(withoutSettings.settingsButton()->focusPolicy(), Qt::NoFocus);

        QVERIFY(!h.sidebar->pausedNotice()->isVisible());
        h.model->setRecordingPaused(true);
        QVERIFY(h.sidebar->pausedNotice()->isVisible());
        QCOMPARE(h.sidebar->pausedNotice()->text(), L10n::text(L10n::Key::recordingPaused));

        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        QCOMPARE(h.sidebar->pausedNotice()->text(), L10n::text(L10n::Key::recordingPaused));
        QCOMPARE(h.sidebar->clearButton()->toolTip(), L10n::text(L10n::Key::clearHistory));
        QCOMPARE(h.sidebar->listView()->accessibleName(), L10n::text(L10n::Key::allHistory));
        QVERIFY(h.sidebar->countLabel()->text() != u"1 item"_s);
        AppLocalization::shared().select(AppLanguage::english);
        h.model->setRecordingPaused(false);
        QVERIFY(!h.sidebar->pausedNotice()->isVisible());
    }
};

QTEST_MAIN(TestHistorySidebar)
#include "tst_historysidebar.moc"
