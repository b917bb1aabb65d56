#include "l10n/Localization.h"
#include "support/UiHarness.h"
#include "ui/common/ClipboardEmptyState.h"
#include "ui/common/HistoryButton.h"
#include "ui/history/ClearHistoryDialog.h"
#include "ui/history/HistoryFilterMenu.h"
#include "ui/history/HistoryListView.h"
#include "ui/history/HistorySearchField.h"
#include "ui/history/HistorySidebar.h"

#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

struct Harness : ModelHome {
    ManualDelayTimer* loadingDelay = new ManualDelayTimer;
    std::unique_ptr<HistorySidebar> sidebar;
    int settingsOpened = 0;

    explicit Harness(const QList<ClipboardEntry>& entries, const QByteArray& archive = {})
        : ModelHome(entries, archive)
    {
        sidebar = std::make_unique<HistorySidebar>(
            *model, [this] { ++settingsOpened; }, nullptr, std::unique_ptr<DelayTimer>(loadingDelay),
            std::make_unique<ManualDelayTimer>());
        sidebar->resize(420, 700);
        sidebar->show();
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
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("query");
        QTest::addColumn<HistorySidebar::ListState>("state");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("countText");

        QTest::newRow("empty history") << 0 << QByteArray() << QString() << HistorySidebar::ListState::empty
                                       << L10n::text(L10n::Key::historyEmpty) << u"0 items"_s;
        QTest::newRow("one entry") << 1 << QByteArray() << QString() << HistorySidebar::ListState::list
                                   << QString() << u"1 item"_s;
        QTest::newRow("several entries")
            << 3 << QByteArray() << QString() << HistorySidebar::ListState::list << QString() << u"3 items"_s;
        QTest::newRow("query matches one") << 3 << QByteArray() << u"entry 2"_s
                                           << HistorySidebar::ListState::list << QString() << u"1 item"_s;
        QTest::newRow("query matches none")
            << 3 << QByteArray() << u"zebra"_s << HistorySidebar::ListState::empty
            << L10n::text(L10n::Key::noMatches) << u"0 items"_s;
        QTest::newRow("unreadable archive")
            << 0 << QByteArray("not an archive") << QString() << HistorySidebar::ListState::unavailable
            << L10n::text(L10n::Key::historyUnavailable) << u"0 items"_s;
    }
    void listAreaStates()
    {
        QFETCH(int, count);
        QFETCH(QByteArray, archive);
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
        QCOMPARE(dialog->focusWidget(), dialog->cancelButton());

        if (answer)
            QTest::keyClick(dialog->focusWidget(), Qt::Key(answer));
        else
            dialog->clearButton()->click();
        QTRY_VERIFY(!h.sidebar->clearConfirmation());
        QCOMPARE(h.model->entries().size(), remaining);
    }

    // The first focus waits for the history: the list if it has rows, else the field. Then the field
    // and the list read as one column: Down enters the list, Up on its first row leaves it.
    void focusAndArrows_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("listFocused");
        QTest::addColumn<int>("selectedAfter");
        QTest::newRow("first focus: the list") << 2 << 0 << QString() << 0 << true << 0;
        QTest::newRow("first focus, empty: the field") << 0 << -1 << QString() << 0 << false << -1;
        QTest::newRow("Down enters at the selection")
            << 3 << 1 << u"field"_s << int(Qt::Key_Down) << true << 1;
        QTest::newRow("Down without a selection picks the first row")
            << 3 << -1 << u"field"_s << int(Qt::Key_Down) << true << 0;
        QTest::newRow("Up on the first row leaves") << 3 << 0 << u"list"_s << int(Qt::Key_Up) << false << 0;
        QTest::newRow("Up further down moves up") << 3 << 2 << u"list"_s << int(Qt::Key_Up) << true << 1;
    }
    void focusAndArrows()
    {
        QFETCH(int, count);
        QFETCH(int, selected);
        QFETCH(QString, from);
        QFETCH(int, key);
        QFETCH(bool, listFocused);
        QFETCH(int, selectedAfter);
        Harness h(entries(count));
        h.sidebar->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.sidebar.get()));
        QVERIFY(h.load());
        QWidget* list = h.sidebar->listView();
        if (key) {
            h.model->setSelection(selected < 0 ? QUuid() : h.model->entries().at(selected).id);
            QWidget* widget = from == u"field" ? h.sidebar->searchField()->lineEdit() : list;
            widget->setFocus();
            QTest::keyClick(widget, Qt::Key(key));
        }
        QTRY_COMPARE(list->hasFocus(), listFocused);
        QCOMPARE(h.sidebar->searchField()->isInputFocused(), !listFocused);
        QCOMPARE(h.model->selection(), selectedAfter < 0 ? QUuid() : h.model->entries().at(selectedAfter).id);
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
