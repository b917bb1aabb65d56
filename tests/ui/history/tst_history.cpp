#include "l10n/Localization.h"
#include "support/TestColumns.h"
#include "support/UiHarness.h"
#include "ui/common/ClipboardEmptyState.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/HistoryRowLayout.h"
#include "ui/common/HistoryRowPainter.h"
#include "ui/common/OptionList.h"
#include "ui/detail/DetailView.h"
#include "ui/history/ClearHistoryDialog.h"
#include "ui/history/HistoryFilterMenu.h"
#include "ui/history/HistoryListModel.h"
#include "ui/history/HistoryListView.h"
#include "ui/history/HistoryRowDelegate.h"
#include "ui/history/HistorySearchField.h"
#include "ui/history/HistorySidebar.h"
#include "ui/history/HistorySplitController.h"
#include "ui/history/MainWindowController.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyleHints>

using namespace Qt::StringLiterals;

namespace {

constexpr double base = 700000000;

QList<ClipboardEntry> texts(int count)
{
    QList<ClipboardEntry> entries;
    for (int index = 0; index < count; ++index)
        entries.append(makeEntry(u"entry %1"_s.arg(index), base - index));
    return entries;
}

struct ListHarness : ModelHome {
    HistoryThumbnailCache thumbnails{&sizedThumbnail};
    ManualDelayTimer* refreshTimer = new ManualDelayTimer;
    std::unique_ptr<HistoryListView> view;
    QList<QUrl> opened;
    Timestamp now{base + 300};

    explicit ListHarness(const QList<ClipboardEntry>& entries) : ModelHome(entries)
    {
        QVERIFY(load());
        view = std::make_unique<HistoryListView>(*model, nullptr, std::unique_ptr<DelayTimer>(refreshTimer),
                                                 &thumbnails);
        view->setClock([this] { return now; });
        view->openURL = [this](const QUrl& url) { opened.append(url); };
        view->resize(420, 600);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    HistoryListModel& list() const { return view->listModel(); }
    QRect rowRect(int row) const { return view->visualRect(list().index(row)); }
    bool inView(int row) const { return view->viewport()->rect().contains(rowRect(row)); }
    int selectedRow() const
    {
        const QModelIndexList rows = view->selectionModel()->selectedIndexes();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    QList<ClipboardEntry> rows() const
    {
        QList<ClipboardEntry> shown;
        for (int row = 0; row < list().rowCount(); ++row)
            shown.append(list().entry(row));
        return shown;
    }
};

struct SidebarHarness : ModelHome {
    ManualDelayTimer* loadingDelay = new ManualDelayTimer;
    std::unique_ptr<HistorySidebar> sidebar;
    int settingsOpened = 0;

    explicit SidebarHarness(const QList<ClipboardEntry>& entries, const QByteArray& archive = {})
        : ModelHome(entries, archive)
    {
        sidebar = std::make_unique<HistorySidebar>(
            *model, [this] { ++settingsOpened; }, nullptr, std::unique_ptr<DelayTimer>(loadingDelay),
            std::make_unique<ManualDelayTimer>());
        sidebar->resize(420, 700);
        sidebar->show();
    }
};

// -1 stands for "all kinds" in the tables.
std::optional<ClipboardKind> kindAt(int index)
{
    return index < 0 ? std::nullopt : std::optional(ClipboardKinds::allCases[size_t(index)]);
}

const Preferences::Key widthKey = Preferences::Key::historySidebarWidth;

struct WindowHarness : ModelHome {
    std::unique_ptr<MainWindowController> controller;

    explicit WindowHarness(std::optional<double> storedWidth = std::nullopt,
                           const QList<ClipboardEntry>& entries = {})
        : ModelHome(entries)
    {
        if (storedWidth)
            preferences.setDouble(widthKey, *storedWidth);
        rebuild();
    }

    void rebuild()
    {
        controller =
            std::make_unique<MainWindowController>(*model, preferences, new DetailView(*model), [] {});
    }

    QMainWindow* window() const { return controller->window(); }
    HistorySplitController* split() const { return controller->splitController(); }

    void dragDivider(int dx) const
    {
        QWidget* divider = split()->divider();
        const QPoint centre = divider->rect().center();
        QTest::mousePress(divider, Qt::LeftButton, {}, centre);
        QTest::mouseMove(divider, centre + QPoint(dx, 0));
        QTest::mouseRelease(divider, Qt::LeftButton, {}, centre + QPoint(dx, 0));
    }
};

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    // The model's selection and the list's follow each other, and the selected row is scrolled into
    // view, also when the list changes under it. Rows are those of the 200 entries at the start.
    void selection_data()
    {
        addColumns<int, QString, int>("selectedFirst", "action", "expected");
        QTest::newRow("model picks a row far down") << 150 << QString() << 150;
        QTest::newRow("model clears it") << -1 << QString() << -1;
        QTest::newRow("click") << 0 << u"click"_s << 2;
        QTest::newRow("arrow down") << 0 << u"down"_s << 1;
        QTest::newRow("search cleared") << 150 << u"search"_s << 150;
        QTest::newRow("copied again to the top") << 150 << u"copy"_s << 150;
        QTest::newRow("limit drops the oldest") << 198 << u"capture"_s << 198;
        QTest::newRow("selected while hidden") << 150 << u"hidden"_s << 150;
    }
    void selection()
    {
        QFETCH(int, selectedFirst);
        QFETCH(QString, action);
        QFETCH(int, expected);
        const QList<ClipboardEntry> entries = texts(200);
        ListHarness h(entries);
        h.view->setVisible(action != u"hidden");
        h.model->setSelection(selectedFirst < 0 ? QUuid() : entries[selectedFirst].id);
        h.view->show();
        if (action == u"click") {
            QTest::mouseClick(h.view->viewport(), Qt::LeftButton, {}, h.rowRect(2).center());
        } else if (action == u"down") {
            QTest::keyClick(h.view.get(), Qt::Key_Down);
        } else if (action == u"search") {
            h.model->setQuery(entries[selectedFirst].title);
            h.model->setQuery(QString());
        } else if (action == u"copy") {
            QVERIFY(h.model->copy(entries[selectedFirst]));
        } else if (action == u"capture") {
            h.pasteboard.setText(u"a new copy"_s);
            h.model->clipboard().poll();
        }
        const QUuid id = expected < 0 ? QUuid() : entries[expected].id;
        QCOMPARE(h.model->selection(), id);
        QCOMPARE(h.selectedRow(), expected < 0 ? -1 : h.list().indexOf(id).row());
        QVERIFY(expected < 0 || h.inView(h.selectedRow()));
    }

    // On the third row: a key with that row selected or none, or an action of its context menu.
    void actions_data()
    {
        addColumns<QString, bool, QString, int, int>("action", "selected", "topTitle", "remaining", "writes");
        QTest::newRow("Delete key") << u"Delete"_s << true << u"entry 0"_s << 2 << 0;
        QTest::newRow("Delete key without a selection") << u"Delete"_s << false << u"entry 0"_s << 3 << 0;
        QTest::newRow("Return key does nothing") << u"Return"_s << true << u"entry 0"_s << 3 << 0;
        QTest::newRow("menu: Copy Again") << u"menu Copy Again"_s << false << u"entry 2"_s << 3 << 1;
        QTest::newRow("double click copies again") << u"double click"_s << false << u"entry 2"_s << 3 << 1;
        QTest::newRow("menu: Delete") << u"menu Delete"_s << false << u"entry 0"_s << 2 << 0;
    }
    void actions()
    {
        QFETCH(QString, action);
        QFETCH(bool, selected);
        QFETCH(QString, topTitle);
        QFETCH(int, remaining);
        QFETCH(int, writes);
        ListHarness h(texts(3));
        const QUuid third = h.list().entry(2).id;
        h.model->setSelection(selected ? third : QUuid());
        if (action.startsWith(u"menu ")) {
            // An item missing from the menu leaves the rows as they were, which the checks below notice.
            std::unique_ptr<QMenu> menu(h.view->contextMenu(h.list().index(2)));
            for (QAction* item : menu->actions())
                if (item->text() == action.mid(5))
                    item->trigger();
        } else if (action == u"double click") {
            // As a real double click ends: with the button let go.
            QTest::mouseDClick(h.view->viewport(), Qt::LeftButton, {}, h.rowRect(2).center());
            QTest::mouseRelease(h.view->viewport(), Qt::LeftButton, {}, h.rowRect(2).center());
        } else {
            QTest::keyClick(h.view.get(), action == u"Delete" ? Qt::Key_Delete : Qt::Key_Return);
        }
        QCOMPARE(h.model->entries().first().title, topTitle);
        QCOMPARE(h.model->entries().size(), remaining);
        QCOMPARE(h.list().indexOf(third).isValid(), remaining == 3);
        QCOMPARE(h.pasteboard.writes.size(), writes);
    }

    void relativeTimesRepaintOnTheMinute()
    {
        ListHarness h(texts(3));
        QCoreApplication::processEvents();
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        h.view->viewport()->installEventFilter(&counter);
        QSignalSpy changes(&h.list(), &QAbstractItemModel::dataChanged);
        h.now = Timestamp{base + 7200};
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 0);

        QVERIFY(h.refreshTimer->fire());
        QTRY_VERIFY(counter.paints > 0);
        QVERIFY(h.refreshTimer->isActive());
        QCOMPARE(changes.size(), 0);
        QCOMPARE(h.list().data(h.list().index(0)).toString(), u"entry 0, Editor, Text, 2 hours ago"_s);
    }

    void accessibleTexts_data()
    {
        addColumns<ClipboardEntry, QString, QString>("entry", "text", "hint");
        const auto link = [](const QString& address) {
            return withKind(makeEntry(address, base), ClipboardKind::link);
        };
        QTest::newRow("text") << makeEntry(u"hello"_s, base, 0, u"Notes"_s)
                              << u"hello, Notes, Text, 5 minutes ago"_s << QString();
        QTest::newRow("web link") << link(u"https://example.org"_s)
                                  << u"https://example.org, Editor, Link, 5 minutes ago"_s
                                  << L10n::text(L10n::Key::openBrowserHint);
        QTest::newRow("mail link") << link(u"mailto:a@example.org"_s)
                                   << u"mailto:a@example.org, Editor, Link, 5 minutes ago"_s
                                   << L10n::text(L10n::Key::openEmailHint);
        QTest::newRow("file without an address") << withKind(makeEntry(u"x"_s, base), ClipboardKind::file)
                                                 << u"File, Editor, File, 5 minutes ago"_s << QString();
        QTest::newRow("image") << imageEntry("30x20", base)
                               << u"30 × 20 pixels, Editor, Image, 5 minutes ago"_s << QString();
    }
    void accessibleTexts()
    {
        QFETCH(ClipboardEntry, entry);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        ListHarness h({entry});
        // Painting the row is what asks for its thumbnail.
        const QModelIndex index = h.list().index(0);
        QTRY_COMPARE(index.data(Qt::AccessibleTextRole).toString(), text);
        QCOMPARE(index.data(Qt::AccessibleDescriptionRole).toString(), hint);
        // Titles follow the language.
        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        const QString title = HistoryRowTexts::of(entry).title, shown = index.data().toString();
        AppLocalization::shared().select(AppLanguage::english);
        QVERIFY(entry.kind == ClipboardKind::image || shown.startsWith(title + u", "_s));
    }

    // After each step the rows are the filtered entries with their current values, reached without a
    // reset in the fewest removals, and every row a view holds on to still shows its entry.
    void rowsFollowTheModelInPlace_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("queries narrow and widen") << QStringList{u"query al"_s, u"query a"_s, u"query beta"_s,
                                                                 u"query t"_s,  u"query"_s,   u"query two"_s};
        QTest::newRow("copy again moves to the top") << QStringList{u"copy 4"_s, u"copy 5"_s, u"copy 1"_s};
        QTest::newRow("copy the top again") << QStringList{u"copy 0"_s};
        QTest::newRow("filter then delete") << QStringList{u"filter"_s, u"delete 2"_s, u"delete 0"_s};
    }
    void rowsFollowTheModelInPlace()
    {
        QFETCH(QStringList, steps);
        QList<ClipboardEntry> entries;
        for (const QString& title :
             {u"alpha"_s, u"beta"_s, u"gamma"_s, u"alphabet"_s, u"delta"_s, u"beta two"_s})
            entries.append(makeEntry(title, base - entries.size()));
        entries[2] = withKind(entries[2], ClipboardKind::file);
        ListHarness h(entries);
        QAbstractItemModelTester tester(&h.list(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&h.list(), &QAbstractItemModel::modelReset);
        QSignalSpy removals(&h.list(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changes(&h.list(), &QAbstractItemModel::dataChanged);
        for (const QString& step : std::as_const(steps)) {
            const QList<ClipboardEntry> before = h.rows();
            QList<std::pair<QPersistentModelIndex, QUuid>> held;
            for (int row = 0; row < h.list().rowCount(); ++row)
                held.append({QPersistentModelIndex(h.list().index(row)), h.list().entry(row).id});
            const QStringList words = step.split(u' ');
            const int argument = words.value(1).toInt();
            if (words[0] == u"query")
                h.model->setQuery(words.value(1));
            else if (words[0] == u"filter")
                h.model->setFilter(ClipboardKind::text);
            else if (words[0] == u"copy")
                QVERIFY(h.model->copy(h.model->entries()[argument]));
            else
                h.model->deleteEntry(h.model->entries()[argument].id);

            QCOMPARE(h.rows(), h.model->filteredEntries());
            // Each run of removed rows goes in one step.
            int removedRuns = 0;
            for (qsizetype row = 0; row < held.size(); ++row) {
                const auto& [index, id] = held[row];
                QCOMPARE(index.isValid(), h.list().indexOf(id).isValid());
                QVERIFY(!index.isValid() || h.list().entry(index.row()).id == id);
                removedRuns += !index.isValid() && (row == 0 || held[row - 1].first.isValid());
            }
            QCOMPARE(removals.size(), removedRuns);
            removals.clear();
            // A row left in place with new values is announced, so that views repaint it.
            for (int row = 0; row < std::min(before.size(), h.rows().size()); ++row) {
                if (before[row].id == h.list().entry(row).id && !(before[row] == h.list().entry(row)))
                    QVERIFY(std::ranges::any_of(changes, [row](const QList<QVariant>& change) {
                        return change[0].toModelIndex().row() <= row && row <= change[1].toModelIndex().row();
                    }));
            }
            changes.clear();
        }
        QCOMPARE(resets.size(), 0);
    }

    void thumbnailsKeepSelectionAndScroll()
    {
        QList<ClipboardEntry> entries = texts(200);
        for (int index = 90; index < 120; index += 3)
            entries[index] = imageEntry(QByteArray::number(400 + index) + "x100", base - index);
        ListHarness h(entries);
        QCOMPARE(h.view->viewport()->width(), h.view->width());
        h.model->setSelection(h.list().entry(100).id);
        h.view->scrollTo(h.list().index(99), QAbstractItemView::PositionAtTop);
        const int scroll = h.view->verticalScrollBar()->value();
        const int heightBefore = h.rowRect(99).height();
        QSignalSpy changes(&h.list(), &QAbstractItemModel::dataChanged);
        QSignalSpy layouts(&h.list(), &QAbstractItemModel::layoutChanged);

        QTRY_VERIFY(changes.size() > 0 && !h.list().hasLoadingImages());
        QTRY_VERIFY(h.rowRect(99).height() < heightBefore);
        for (const QList<QVariant>& change : std::as_const(changes))
            QCOMPARE(change[0].value<QModelIndex>(), change[1].value<QModelIndex>());
        QCOMPARE(layouts.size(), 0);
        QCOMPARE(h.view->verticalScrollBar()->value(), scroll);
        QCOMPARE(h.model->selection(), h.list().entry(100).id);
        QCOMPARE(h.selectedRow(), 100);
    }

    void linkTitles_data()
    {
        addColumns<int, QString, bool>("row", "where", "opens");
        QTest::newRow("title opens the address") << 1 << u"title"_s << true;
        QTest::newRow("past the title's end selects") << 1 << u"beside"_s << false;
        QTest::newRow("metadata selects") << 1 << u"metadata"_s << false;
        QTest::newRow("a text title selects") << 0 << u"title"_s << false;
    }
    void linkTitles()
    {
        QFETCH(int, row);
        QFETCH(QString, where);
        QFETCH(bool, opens);
        ListHarness h({makeEntry(u"https://example.org/text"_s, base),
                       withKind(makeEntry(u"https://example.org/a"_s, base), ClipboardKind::link)});
        h.model->setSelection(h.list().entry(1 - row).id);
        const HistoryRow shown{h.list().entry(row), false, false, false, {}, std::nullopt, h.now};
        const HistoryRowPainter::Parts parts =
            HistoryRowPainter(HistoryRowLayout::history)
                .arrange(shown, HistoryRowDelegate::cardRect(h.rowRect(row)), h.view->font());
        const QRect title = parts.titleLineRects[0];
        const QPoint point = where == u"title"    ? title.center()
                             : where == u"beside" ? QPoint(title.right() + 20, title.center().y())
                                                  : parts.sourceNameRect.center();
        QTest::mouseMove(h.view->viewport(), point);
        QCOMPARE(h.view->viewport()->cursor().shape(), opens ? Qt::PointingHandCursor : Qt::ArrowCursor);
        QTest::mouseClick(h.view->viewport(), Qt::LeftButton, {}, point);
        QCOMPARE(h.opened, opens ? QList<QUrl>{QUrl(u"https://example.org/a"_s)} : QList<QUrl>());
        QCOMPARE(h.selectedRow(), opens ? 1 - row : row);
    }

    void listAreaStates_data()
    {
        addColumns<int, QByteArray, QString, HistorySidebar::ListState, QString, QString>(
            "count", "archive", "query", "state", "message", "countText");
        QTest::newRow("empty history") << 0 << QByteArray() << QString() << HistorySidebar::ListState::empty
                                       << L10n::text(L10n::Key::historyEmpty) << u"0 items"_s;
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

        SidebarHarness h(texts(count), archive);
        QCOMPARE(h.sidebar->listState(), HistorySidebar::ListState::loading);
        QVERIFY(h.load());
        h.sidebar->searchField()->setText(query);
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
        SidebarHarness quick(texts(2));
        QVERIFY(!quick.sidebar->clearButton()->isEnabled());
        QVERIFY(quick.load());
        QVERIFY(!quick.loadingDelay->fire());
        QVERIFY(!quick.sidebar->showsLoadingIndicator());
        QVERIFY(quick.sidebar->clearButton()->isEnabled());

        SidebarHarness slow(texts(2));
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
        SidebarHarness h(texts(3));
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
        addColumns<int, int, QString, int, bool, int>("count", "selected", "from", "key", "listFocused",
                                                      "selectedAfter");
        QTest::newRow("first focus: the list") << 2 << 0 << QString() << 0 << true << 0;
        QTest::newRow("first focus, empty: the field") << 0 << -1 << QString() << 0 << false << -1;
        QTest::newRow("Down enters at the selection")
            << 3 << 1 << u"field"_s << int(Qt::Key_Down) << true << 1;
        QTest::newRow("Down without a selection picks the first row")
            << 3 << -1 << u"field"_s << int(Qt::Key_Down) << true << 0;
        QTest::newRow("Up on the first row leaves") << 3 << 0 << u"list"_s << int(Qt::Key_Up) << false << 0;
        QTest::newRow("Up further down moves up") << 3 << 2 << u"list"_s << int(Qt::Key_Up) << true << 1;
        QTest::newRow("Ctrl+F goes to the field")
            << 3 << 1 << u"list"_s << (Qt::ControlModifier | Qt::Key_F).toCombined() << false << 1;
    }
    void focusAndArrows()
    {
        QFETCH(int, count);
        QFETCH(int, selected);
        QFETCH(QString, from);
        QFETCH(int, key);
        QFETCH(bool, listFocused);
        QFETCH(int, selectedAfter);
        SidebarHarness h(texts(count));
        h.sidebar->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.sidebar.get()));
        QVERIFY(h.load());
        QWidget* list = h.sidebar->listView();
        if (key) {
            h.model->setSelection(selected < 0 ? QUuid() : h.model->entries().at(selected).id);
            QWidget* widget = from == u"field" ? h.sidebar->searchField()->lineEdit() : list;
            widget->setFocus();
            const QKeyCombination chord = QKeyCombination::fromCombined(key);
            QTest::keyClick(widget, chord.key(), chord.keyboardModifiers());
        }
        QTRY_COMPARE(list->hasFocus(), listFocused);
        QCOMPARE(h.sidebar->searchField()->isInputFocused(), !listFocused);
        QCOMPARE(h.model->selection(), selectedAfter < 0 ? QUuid() : h.model->entries().at(selectedAfter).id);
    }

    void searchAndFilterFollowTheModelBothWays()
    {
        SidebarHarness h(texts(3));
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
        SidebarHarness h(texts(1));
        QVERIFY(h.load());
        h.sidebar->settingsButton()->click();
        QCOMPARE(h.settingsOpened, 1);
        // With nothing to open the gear is no Tab stop.
        HistorySidebar withoutSettings(*h.model, {});
        QCOMPARE(withoutSettings.settingsButton()->focusPolicy(), Qt::NoFocus);

        QVERIFY(!h.sidebar->pausedNotice()->isVisible());
        h.model->setRecordingPaused(true);
        QVERIFY(h.sidebar->pausedNotice()->isVisible());
        const QString placeholder = h.sidebar->searchField()->lineEdit()->placeholderText();
        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        QCOMPARE(h.sidebar->pausedNotice()->text(), L10n::text(L10n::Key::recordingPaused));
        QVERIFY(h.sidebar->searchField()->lineEdit()->placeholderText() != placeholder);
        QCOMPARE(h.sidebar->filterMenu()->optionList()->optionButton(0)->text(),
                 L10n::text(L10n::Key::allTypes));
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

    // Setting the text it has changes nothing, the cursor included; the clear button empties the field
    // and leaves the typing focus in it.
    void clearButtonEmptiesAndKeepsTypingFocus()
    {
        QWidget window;
        auto* elsewhere = new QLineEdit(&window);
        auto* field = new HistorySearchField(&window);
        field->move(0, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setText(u"query"_s);
        field->lineEdit()->setCursorPosition(2);
        QSignalSpy changes(field, &HistorySearchField::textChanged);
        field->setText(u"query"_s);
        QCOMPARE(field->lineEdit()->cursorPosition(), 2);
        elsewhere->setFocus();
        QVERIFY(!field->isInputFocused());
        QTest::mouseClick(field->clearButton(), Qt::LeftButton);
        QCOMPARE(field->text(), QString());
        QCOMPARE(changes.count(), 1);
        QVERIFY(field->isInputFocused());
    }

    // In the open list, link selected (row 2): keys, a click or hover on a row, or a row out of range.
    void optionList_data()
    {
        addColumns<int, QString, int, int, bool>("start", "action", "highlighted", "selection", "open");
        QTest::newRow("down") << 0 << u"Down"_s << 1 << 1 << true;
        QTest::newRow("down on the last") << 4 << u"Down"_s << 4 << 1 << true;
        QTest::newRow("up") << 3 << u"Up"_s << 2 << 1 << true;
        QTest::newRow("up on the first") << 0 << u"Up"_s << 0 << 1 << true;
        QTest::newRow("return selects") << 0 << u"Return"_s << 0 << -1 << false;
        QTest::newRow("space selects") << 4 << u"Space"_s << 4 << 3 << false;
        QTest::newRow("escape closes") << 3 << u"Escape"_s << 3 << 1 << false;
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
        QTest::keyClick(&menu, Qt::Key_Return);
        QCOMPARE(menu.optionList()->highlightedIndex(), 2);
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
            QTest::keyClick(menu.optionList(), QKeySequence(action)[0].key());
        }
        if (words[0] != u"click")
            QCOMPARE(menu.highlightedIndex(), highlighted);
        QCOMPARE(menu.selection(), kindAt(selection));
        QCOMPARE(changes.count(), selection == 1 ? 0 : 1);
        QCOMPARE(menu.isPresented(), open);
        QCOMPARE(menu.optionList()->isVisible(), open);
        // The control shows and announces the selected option.
        QCOMPARE(menu.text(), menu.optionList()->optionButton(selection + 1)->text());
        QVERIFY(menu.accessibleName().contains(menu.text()));
    }

    void storedWidthIsClampedAndNotRewrittenByTheFirstLayout_data()
    {
        QTest::addColumn<std::optional<double>>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << std::optional<double>() << 420;
        QTest::newRow("zero") << std::optional<double>(0) << 420;
        QTest::newRow("negative") << std::optional<double>(-50) << 420;
        QTest::newRow("too wide") << std::optional<double>(600) << 520;
        QTest::newRow("too narrow") << std::optional<double>(100) << 280;
        QTest::newRow("in range") << std::optional<double>(333.4) << 333;
    }

    // The divider can be grabbed within 6 px of its line on the sidebar's side, 5 on the detail's.
    void storedWidthIsClampedAndNotRewrittenByTheFirstLayout()
    {
        QFETCH(std::optional<double>, stored);
        QFETCH(int, expected);
        WindowHarness h(stored);
        h.window()->resize(1100, 700);
        h.controller->present();
        QCoreApplication::processEvents();
        QCOMPARE(h.split()->sidebarWidth(), expected);
        QCOMPARE(h.preferences.contains(Preferences::keyName(widthKey)), stored.has_value());
        QCOMPARE(h.preferences.doubleValue(widthKey), stored.value_or(0));
        for (const auto& [offset, grabs] :
             {std::pair(0, true), {-6, true}, {5, true}, {-7, false}, {6, false}})
            QCOMPARE(h.split()->childAt(expected + offset, 300) == h.split()->divider(), grabs);
    }

    // Closing hides the same window with its state; only widths the user sets while it shows are saved.
    void closingKeepsTheWindowAndOnlyVisibleChangesAreSaved()
    {
        WindowHarness h(500);
        h.window()->resize(1100, 700);
        h.controller->present();
        h.model->setQuery(u"a"_s);
        QPointer<QMainWindow> window = h.window();
        QVERIFY(!window->close());
        QVERIFY(window && window->isHidden());
        h.controller->present();
        QCOMPARE(h.window(), window.data());
        QCOMPARE(h.model->query(), u"a"_s);
        QCOMPARE(h.split()->sidebarWidth(), 500);

        // Narrowed while hidden, the sidebar gives way, but the user's width stays stored.
        window->close();
        window->resize(760, 600);
        h.controller->present();
        QCOMPARE(h.split()->sidebarWidth(), 760 - 1 - 360);
        QCOMPARE(h.preferences.doubleValue(widthKey), 500.0);
        h.dragDivider(-60);
        QCOMPARE(h.split()->sidebarWidth(), 339);
        QCOMPARE(h.preferences.doubleValue(widthKey), 339.0);
    }

    void storedWidthIsAppliedOnceThereIsRoomAndOnlyOnce()
    {
        WindowHarness h(450);
        QWidget host;
        HistorySplitController split(new QWidget, new QWidget, h.preferences, &host);
        host.resize(1300, 500);
        host.show();
        split.setGeometry(0, 0, 600, 400);
        QVERIFY(!split.initialWidthApplied());
        split.setGeometry(0, 0, 1000, 400);
        QVERIFY(split.initialWidthApplied());
        QCOMPARE(split.sidebarWidth(), 450);

        h.preferences.setDouble(widthKey, 300);
        split.setGeometry(0, 0, 1200, 400);
        QCOMPARE(split.sidebarWidth(), 450);
    }

    // Each Tab stop, in turn, draws something that goes away when it loses the focus.
    void everyTabStopShowsItsFocus_data()
    {
        QTest::addColumn<ClipboardEntry>("shown");
        QTest::newRow("text") << makeEntry(u"hello"_s, 100);
        QTest::newRow("files") << fileEntry({u"/tmp/report.pdf"_s});
    }
    void everyTabStopShowsItsFocus()
    {
        QFETCH(ClipboardEntry, shown);
        WindowHarness h(std::nullopt, {shown, makeEntry(u"world"_s, 1)});
        QVERIFY(h.load());
        // A steady text cursor, so a grab never falls between two blinks.
        QGuiApplication::styleHints()->setCursorFlashTime(0);
        h.controller->present();
        if (!QTest::qWaitForWindowActive(h.window()))
            QSKIP("keyboard focus needs an active window, which this display does not grant");
        QWidget* first = QApplication::focusWidget();
        QVERIFY(first);
        QStringList unmarked;
        QWidget* stop = first;
        for (int stops = 0; stops < 20; ++stops) {
            const QImage focused = h.window()->grab().toImage();
            stop->clearFocus();
            if (h.window()->grab().toImage() == focused)
                unmarked.append(QString::fromLatin1(stop->metaObject()->className()));
            stop->setFocus(Qt::TabFocusReason);
            QTest::keyClick(stop, Qt::Key_Tab);
            stop = QApplication::focusWidget();
            if (!stop || stop == first)
                break;
        }
        QVERIFY2(unmarked.isEmpty(), qPrintable(unmarked.join(u", ")));
    }

    // The first frame fits a screen smaller than the default one (offscreen gives 800x600) and keeps
    // its minimum; a frame the user sets is restored.
    void frame()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        WindowHarness h;
        QVERIFY(available.width() >= 1080 || available.height() >= 810 ||
                h.window()->size() == available.size());
        QVERIFY(available.contains(h.window()->frameGeometry()));
        h.controller->present();
        h.window()->resize(300, 200);
        QCOMPARE(h.window()->size(), QSize(760, 520));

        const QRect frame(12, 24, 770, 530);
        h.window()->setGeometry(frame);
        h.window()->hide();
        h.rebuild();
        QCOMPARE(h.window()->geometry(), frame);
        h.controller->present();
        QCOMPARE(h.window()->geometry(), frame);
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
