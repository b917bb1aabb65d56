#include "l10n/Localization.h"
#include "support/UiHarness.h"
#include "ui/common/HistoryRowLayout.h"
#include "ui/common/HistoryRowPainter.h"
#include "ui/history/HistoryListModel.h"
#include "ui/history/HistoryListView.h"
#include "ui/history/HistoryRowDelegate.h"

#include <QAbstractItemModelTester>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>

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

struct Harness : ModelHome {
    HistoryThumbnailCache thumbnails{&sizedThumbnail};
    ManualDelayTimer* refreshTimer = new ManualDelayTimer;
    std::unique_ptr<HistoryListView> view;
    QList<QUrl> opened;
    Timestamp now{base + 300};

    explicit Harness(const QList<ClipboardEntry>& entries) : ModelHome(entries)
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

} // namespace

class TestHistoryList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    // A history card grows by one line at most; a quick paste card is one target of a fixed height.
    void cards()
    {
        const HistoryRowPainter history(HistoryRowLayout::history), quickPaste(HistoryRowLayout::quickPaste);
        const ClipboardEntry longText = makeEntry(u"word "_s.repeated(80), base);
        const ClipboardEntry shortText = makeEntry(u"short"_s, base);
        const int lineStep = QFontMetrics(history.titleFont(QFont())).lineSpacing() + 1;
        QCOMPARE(history.cardHeight(longText, 400, QFont()) - history.cardHeight(shortText, 400, QFont()),
                 lineStep);
        QCOMPARE(quickPaste.cardHeight(longText, 400, QFont()),
                 quickPaste.cardHeight(shortText, 400, QFont()));
        const ClipboardEntry link = withKind(makeEntry(u"https://example.org"_s, base), ClipboardKind::link);
        const HistoryRow row{link, false, false, false, {}, std::nullopt, Timestamp{base}};
        const QRect card(0, 0, 400, quickPaste.cardHeight(link, 400, QFont()));
        const QPoint title = quickPaste.arrange(row, card, QFont()).titleLineRects[0].center();
        QCOMPARE(quickPaste.hitTest(row, card, QFont(), title), HistoryRowPainter::Hit::card);
        QCOMPARE(quickPaste.hitTest(row, card, QFont(), QPoint(1, 1)), HistoryRowPainter::Hit::none);
    }

    // The model's selection and the list's follow each other, and the selected row is scrolled into
    // view, also when the list changes under it. Rows are those of the 200 entries at the start.
    void selection_data()
    {
        QTest::addColumn<int>("selectedFirst");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("expected");
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
        Harness h(entries);
        QCOMPARE(h.selectedRow(), 0);
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
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("topTitle");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<int>("writes");
        QTest::newRow("Delete key") << u"Delete"_s << true << u"entry 0"_s << 2 << 0;
        QTest::newRow("Delete key without a selection") << u"Delete"_s << false << u"entry 0"_s << 3 << 0;
        QTest::newRow("Return key does nothing") << u"Return"_s << true << u"entry 0"_s << 3 << 0;
        QTest::newRow("menu: Copy Again") << u"menu Copy Again"_s << false << u"entry 2"_s << 3 << 1;
        QTest::newRow("menu: Delete") << u"menu Delete"_s << false << u"entry 0"_s << 2 << 0;
    }
    void actions()
    {
        QFETCH(QString, action);
        QFETCH(bool, selected);
        QFETCH(QString, topTitle);
        QFETCH(int, remaining);
        QFETCH(int, writes);
        Harness h(texts(3));
        const QUuid third = h.list().entry(2).id;
        h.model->setSelection(selected ? third : QUuid());
        if (action.startsWith(u"menu ")) {
            std::unique_ptr<QMenu> menu(h.view->contextMenu(h.list().index(2)));
            const QList<QAction*> actions = menu->actions();
            const auto found = std::find_if(actions.begin(), actions.end(),
                                            [&](QAction* item) { return item->text() == action.mid(5); });
            QVERIFY(found != actions.end());
            (*found)->trigger();
        } else {
            QTest::keyClick(h.view.get(), action == u"Delete" ? Qt::Key_Delete : Qt::Key_Return);
        }
        QCOMPARE(h.model->entries().first().title, topTitle);
        QCOMPARE(h.model->entries().size(), remaining);
        QCOMPARE(h.list().rowCount(), remaining);
        QCOMPARE(h.list().indexOf(third).isValid(), remaining == 3);
        QCOMPARE(h.pasteboard.writes.size(), writes);
    }

    void relativeTimesRepaintOnTheMinute()
    {
        Harness h(texts(3));
        QCOMPARE(h.list().data(h.list().index(0)).toString(), u"entry 0, Editor, Text, 5 minutes ago"_s);
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

        QCOMPARE(h.refreshTimer->delay(), HistoryListView::timeRefreshInterval);
        QVERIFY(h.refreshTimer->fire());
        QTRY_VERIFY(counter.paints > 0);
        QVERIFY(h.refreshTimer->isActive());
        QCOMPARE(changes.size(), 0);
        QCOMPARE(h.list().data(h.list().index(0)).toString(), u"entry 0, Editor, Text, 2 hours ago"_s);
    }

    void accessibleTexts_data()
    {
        QTest::addColumn<ClipboardEntry>("entry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
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
        Harness h({entry});
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
        Harness h(entries);
        QAbstractItemModelTester tester(&h.list(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&h.list(), &QAbstractItemModel::modelReset);
        QSignalSpy removals(&h.list(), &QAbstractItemModel::rowsRemoved);
        for (const QString& step : std::as_const(steps)) {
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
        }
        QCOMPARE(resets.size(), 0);
    }

    void thumbnailsKeepSelectionAndScroll()
    {
        QList<ClipboardEntry> entries = texts(200);
        for (int index = 90; index < 120; index += 3)
            entries[index] = imageEntry(QByteArray::number(400 + index) + "x100", base - index);
        Harness h(entries);
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
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("opens");
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
        Harness h({makeEntry(u"https://example.org/text"_s, base),
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
};

QTEST_MAIN(TestHistoryList)
#include "tst_historylist.moc"
