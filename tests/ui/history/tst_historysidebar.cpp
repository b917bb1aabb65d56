#include "l10n/Localization.h"
#include "support/UiHarness.h"
#include "ui/common/AppTheme.h"
#include "ui/common/ClipboardEmptyState.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryButton.h"
#include "ui/history/ClearHistoryDialog.h"
#include "ui/history/HistoryFilterMenu.h"
#include "ui/history/HistoryFilterOptionList.h"
#include "ui/history/HistoryListView.h"
#include "ui/history/HistorySearchField.h"
#include "ui/history/HistorySidebar.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
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

// -1 stands for "all kinds" in the tables.
std::optional<ClipboardKind> kindAt(int index)
{
    return index < 0 ? std::nullopt : std::optional(ClipboardKinds::allCases[size_t(index)]);
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

    void headerPausedNoticeAndLanguage()
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

        const QString placeholder = h.sidebar->searchField()->lineEdit()->placeholderText();
        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        QCOMPARE(h.sidebar->pausedNotice()->text(), L10n::text(L10n::Key::recordingPaused));
        QVERIFY(h.sidebar->searchField()->lineEdit()->placeholderText() != placeholder);
        HistoryFilterMenu* menu = h.sidebar->filterMenu();
        QCOMPARE(menu->text(), L10n::text(L10n::Key::allTypes));
        QCOMPARE(menu->optionList()->optionButton(0)->text(), menu->text());
        QVERIFY(menu->accessibleName().contains(menu->text()));
        QCOMPARE(h.sidebar->clearButton()->toolTip(), L10n::text(L10n::Key::clearHistory));
        QCOMPARE(h.sidebar->listView()->accessibleName(), L10n::text(L10n::Key::allHistory));
        QVERIFY(h.sidebar->countLabel()->text() != u"1 item"_s);
        AppLocalization::shared().select(AppLanguage::english);
        h.model->setRecordingPaused(false);
        QVERIFY(!h.sidebar->pausedNotice()->isVisible());
    }
    // The clear button shows while there is text, set or typed; Escape empties the field, or passes on
    // when it is empty.
    void clearButtonAndEscape_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("visible");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("letter") << u"a"_s << true;
        QTest::newRow("only a space") << u" "_s << true;
    }
    void clearButtonAndEscape()
    {
        QFETCH(QString, text);
        QFETCH(bool, visible);
        HistorySearchField field;
        field.setText(u"before"_s);
        field.setText(text);
        QCOMPARE(field.clearButton()->isVisibleTo(&field), visible);
        field.setText({});
        QTest::keyClicks(field.lineEdit(), text);
        QCOMPARE(field.clearButton()->isVisibleTo(&field), visible);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(field.lineEdit(), &escape);
        QCOMPARE(field.text(), QString());
        QCOMPARE(escape.isAccepted(), visible);
        QVERIFY(!field.clearButton()->isVisibleTo(&field));
    }

    void clearButtonEmptiesAndKeepsTypingFocus()
    {
        QWidget window;
        auto* elsewhere = new QLineEdit(&window);
        auto* field = new HistorySearchField(&window);
        field->move(0, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setText(u"query"_s);
        elsewhere->setFocus();
        QVERIFY(!field->isInputFocused());
        QSignalSpy changes(field, &HistorySearchField::textChanged);
        QTest::mouseClick(field->clearButton(), Qt::LeftButton);
        QCOMPARE(field->text(), QString());
        QCOMPARE(changes.count(), 1);
        QVERIFY(field->isInputFocused());
        QVERIFY(!field->clearButton()->isVisible());
    }

    void settingTheSameTextKeepsTheCursor()
    {
        HistorySearchField field;
        field.setText(u"hello"_s);
        field.lineEdit()->setCursorPosition(2);
        QSignalSpy changes(&field, &HistorySearchField::textChanged);
        field.setText(u"hello"_s);
        QCOMPARE(field.lineEdit()->cursorPosition(), 2);
        QCOMPARE(changes.count(), 0);
    }

    void placeholderFollowsTheTheme()
    {
        AppThemes::apply(AppTheme::light);
        HistorySearchField field;
        const QColor light = field.lineEdit()->palette().color(QPalette::PlaceholderText);
        AppThemes::apply(AppTheme::dark);
        const QColor dark = field.lineEdit()->palette().color(QPalette::PlaceholderText);
        AppThemes::apply(AppTheme::system);
        QCOMPARE(light,
                 HistoryAppearance::resolve(HistoryAppearance::Colour::secondary, AppThemes::lightPalette()));
        QCOMPARE(dark,
                 HistoryAppearance::resolve(HistoryAppearance::Colour::secondary, AppThemes::darkPalette()));
    }

    void openingHighlightsTheSelection_data()
    {
        QTest::addColumn<int>("selection");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("highlighted");
        QTest::newRow("all, click") << -1 << u"click"_s << 0;
        QTest::newRow("text, space") << 0 << u"space"_s << 1;
        QTest::newRow("image, return") << 2 << u"return"_s << 3;
        QTest::newRow("file, click") << 3 << u"click"_s << 4;
    }
    void openingHighlightsTheSelection()
    {
        QFETCH(int, selection);
        QFETCH(QString, how);
        QFETCH(int, highlighted);
        HistoryFilterMenu menu;
        menu.show();
        menu.setSelection(kindAt(selection));
        menu.setHighlightedIndex(2);
        if (how == "click"_L1)
            QTest::mouseClick(&menu, Qt::LeftButton);
        else
            QTest::keyClick(&menu, how == "space"_L1 ? Qt::Key_Space : Qt::Key_Return);
        QVERIFY(menu.isPresented());
        QVERIFY(menu.optionList()->isVisible());
        QCOMPARE(menu.highlightedIndex(), highlighted);
        QCOMPARE(menu.optionList()->highlightedIndex(), highlighted);
        // The control shows and announces the selected option.
        QCOMPARE(menu.text(), menu.optionList()->optionButton(highlighted)->text());
        QVERIFY(menu.accessibleName().contains(menu.text()));
    }

    // In the open list, link selected (row 2): keys, a click or hover on a row, or a row out of range.
    void optionList_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("highlighted");
        QTest::addColumn<int>("selection");
        QTest::addColumn<bool>("open");
        QTest::newRow("down") << 0 << u"Down"_s << 1 << 1 << true;
        QTest::newRow("down on the last") << 4 << u"Down"_s << 4 << 1 << true;
        QTest::newRow("up") << 3 << u"Up"_s << 2 << 1 << true;
        QTest::newRow("up on the first") << 0 << u"Up"_s << 0 << 1 << true;
        QTest::newRow("return selects") << 0 << u"Return"_s << 0 << -1 << false;
        QTest::newRow("space selects") << 4 << u"Space"_s << 4 << 3 << false;
        QTest::newRow("escape closes") << 3 << u"Escape"_s << 3 << 1 << false;
        QTest::newRow("click all") << 0 << u"click 0"_s << 0 << -1 << false;
        QTest::newRow("click the selected one") << 0 << u"click 2"_s << 2 << 1 << false;
        QTest::newRow("click file") << 0 << u"click 4"_s << 4 << 3 << false;
        QTest::newRow("hover") << 0 << u"hover 3"_s << 3 << 1 << true;
        QTest::newRow("select before the first") << 0 << u"select -1"_s << 0 << 1 << true;
        QTest::newRow("select after the last") << 0 << u"select 5"_s << 0 << 1 << true;
    }
    void optionList()
    {
        QFETCH(int, start);
        QFETCH(QString, action);
        QFETCH(int, highlighted);
        QFETCH(int, selection);
        QFETCH(bool, open);
        HistoryFilterMenu menu;
        menu.show();
        menu.setSelection(ClipboardKind::link);
        menu.present();
        menu.setHighlightedIndex(start);
        QSignalSpy changes(&menu, &HistoryFilterMenu::selectionChanged);
        const QStringList words = action.split(u' ');
        const int row = words.value(1).toInt();
        if (words[0] == u"click") {
            QTest::mouseClick(menu.optionList()->optionButton(row), Qt::LeftButton);
        } else if (words[0] == u"hover") {
            QTest::mouseMove(menu.optionList()->optionButton(row),
                             menu.optionList()->optionButton(row)->rect().center());
        } else if (words[0] == u"select") {
            menu.selectOption(row);
        } else {
            const QMap<QString, Qt::Key> keys{{u"Down"_s, Qt::Key_Down},
                                              {u"Up"_s, Qt::Key_Up},
                                              {u"Return"_s, Qt::Key_Return},
                                              {u"Space"_s, Qt::Key_Space},
                                              {u"Escape"_s, Qt::Key_Escape}};
            QTest::keyClick(menu.optionList(), keys.value(action));
        }
        if (words[0] != u"click")
            QCOMPARE(menu.highlightedIndex(), highlighted);
        QCOMPARE(menu.selection(), kindAt(selection));
        QCOMPARE(changes.count(), selection == 1 ? 0 : 1);
        QCOMPARE(menu.isPresented(), open);
        QCOMPARE(menu.optionList()->isVisible(), open);
    }
};

QTEST_MAIN(TestHistorySidebar)
#include "tst_historysidebar.moc"
