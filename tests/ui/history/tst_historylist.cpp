#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "app/Preferences.h"
#include "models/PasteboardType.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/history/HistoryListModel.h"
#include "ui/history/HistoryListView.h"
#include "ui/history/HistoryRowDelegate.h"
#include "ui/common/HistoryRowLayout.h"
#include "ui/common/HistoryRowPainter.h"
#include "ui/common/HistoryThumbnailCache.h"

#include <QAbstractItemModelTester>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ClipboardEntry)
Q_DECLARE_METATYPE(HistoryRowLayout)
Q_DECLARE_METATYPE(HistoryRowPainter::Hit)
Q_DECLARE_METATYPE(ClipboardKind)
Q_DECLARE_METATYPE(std::optional<int>)

namespace {

constexpr double base = 700000000;

ClipboardEntry withKind(ClipboardEntry entry, ClipboardKind kind)
{
    entry.kind = kind;
    return entry;
}

// An image whose "data" tells the fake decoder the thumbnail's size ("WxH").
ClipboardEntry imageEntry(const QByteArray& size, double time)
{
    ClipboardEntry entry = withKind(makeEntry(QString::fromLatin1(size), time), ClipboardKind::image);
    entry.plainText.reset();
    entry.items = {{{{PasteboardType::png, size}}}};
    entry.fingerprint = ClipboardEntry::fingerprintOf(entry.items);
    return entry;
}

std::optional<HistoryThumbnail> fakeDecode(const QByteArray& data)
{
    const QList<QByteArray> parts = data.split('x');
    if (parts.size() != 2)
        return std::nullopt;
    QImage image(parts[0].toInt(), parts[1].toInt(), QImage::Format_ARGB32);
    image.fill(Qt::blue);
    return HistoryThumbnail{image, image.size()};
}

QList<QUuid> rowIds(const HistoryListModel& list)
{
    QList<QUuid> ids;
    for (int row = 0; row < list.rowCount(); ++row)
        ids.append(list.entry(row).id);
    return ids;
}

QList<QUuid> ids(const QList<ClipboardEntry>& entries)
{
    QList<QUuid> result;
    for (const ClipboardEntry& entry : entries)
        result.append(entry.id);
    return result;
}

struct Harness {
    QTemporaryDir root;
    Preferences preferences{root.filePath(u"Clipwell.conf"_s)};
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    HistoryThumbnailCache thumbnails{&fakeDecode};
    std::unique_ptr<AppModel> model;
    ManualDelayTimer* refreshTimer = new ManualDelayTimer;
    std::unique_ptr<HistoryListView> view;
    QList<QUrl> opened;
    Timestamp now{base + 300};

    explicit Harness(const QList<ClipboardEntry>& entries)
    {
        HistoryRepository::write(root.filePath(u"history"_s), entries);
        model = std::make_unique<AppModel>(pasteboard, workspace, preferences, root.filePath(u"history"_s),
                                           std::make_unique<ManualDelayTimer>());
        model->start();
        QVERIFY(QTest::qWaitFor([this] { return !model->isLoading(); }, 10000));
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
    int selectedRow() const
    {
        const QModelIndexList rows = view->selectionModel()->selectedIndexes();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    // Where the row's parts lie on screen.
    HistoryRowPainter::Parts parts(int row) const
    {
        const HistoryRow shown{list().entry(row), false, false, false, {}, std::nullopt, now};
        return HistoryRowPainter(HistoryRowLayout::history)
            .arrange(shown, HistoryRowDelegate::cardRect(rowRect(row)), view->font());
    }
};

QList<ClipboardEntry> texts(int count)
{
    QList<ClipboardEntry> entries;
    for (int index = 0; index < count; ++index)
        entries.append(makeEntry(u"entry %1"_s.arg(index), base - index));
    return entries;
}

} // namespace

class TestHistoryList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void metrics_data()
    {
        QTest::addColumn<HistoryRowLayout>("layout");
        QTest::addColumn<ClipboardKind>("kind");
        QTest::addColumn<std::optional<int>>("rowHeight");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("bottom");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<std::optional<int>>("contentHeight");
        const std::optional<int> none;
        QTest::newRow("history text")
            << HistoryRowLayout::history << ClipboardKind::text << none << 18 << 8 << 12 << none;
        QTest::newRow("history image")
            << HistoryRowLayout::history << ClipboardKind::image << none << 18 << 8 << 6 << none;
        QTest::newRow("quick paste image") << HistoryRowLayout::quickPaste << ClipboardKind::image
                                           << std::optional(180) << 9 << 9 << 6 << std::optional(162);
        QTest::newRow("quick paste link") << HistoryRowLayout::quickPaste << ClipboardKind::link
                                          << std::optional(88) << 0 << 0 << 3 << std::optional(88);
        QTest::newRow("quick paste file") << HistoryRowLayout::quickPaste << ClipboardKind::file
                                          << std::optional(88) << 0 << 0 << 3 << std::optional(88);
    }

    void metrics()
    {
        QFETCH(HistoryRowLayout, layout);
        QFETCH(ClipboardKind, kind);
        QFETCH(std::optional<int>, rowHeight);
        QFETCH(int, top);
        QFETCH(int, bottom);
        QFETCH(int, spacing);
        QFETCH(std::optional<int>, contentHeight);
        QCOMPARE(HistoryRowLayouts::rowHeight(layout, kind), rowHeight);
        QCOMPARE(HistoryRowLayouts::topPadding(layout, kind), top);
        QCOMPARE(HistoryRowLayouts::bottomPadding(layout, kind), bottom);
        QCOMPARE(HistoryRowLayouts::contentSpacing(layout, kind), spacing);
        QCOMPARE(HistoryRowLayouts::contentHeight(layout, kind), contentHeight);
    }

    // Heights relative to a one-line text row, or to a 10:1 image whose preview is held at 64.
    void cardHeights_data()
    {
        QTest::addColumn<HistoryRowLayout>("layout");
        QTest::addColumn<ClipboardEntry>("entry");
        QTest::addColumn<double>("aspectRatio");
        QTest::addColumn<int>("expected");
        const QString longTitle = u"word "_s.repeated(80);
        const ClipboardEntry image = imageEntry("1x1", 1);
        const int lineStep =
            QFontMetrics(HistoryRowPainter(HistoryRowLayout::history).titleFont(QFont())).lineSpacing() + 1;
        QTest::newRow("two lines at most")
            << HistoryRowLayout::history << makeEntry(longTitle, 1) << 0.0 << lineStep;
        QTest::newRow("image as wide as 2:1") << HistoryRowLayout::history << image << 2.0 << (188 - 64);
        QTest::newRow("image held at 280") << HistoryRowLayout::history << image << 1.0 << (280 - 64);
        QTest::newRow("quick paste text is 88")
            << HistoryRowLayout::quickPaste << makeEntry(longTitle, 1) << 0.0 << 88;
        QTest::newRow("quick paste image is 180") << HistoryRowLayout::quickPaste << image << 1.0 << 180;
    }

    void cardHeights()
    {
        QFETCH(HistoryRowLayout, layout);
        QFETCH(ClipboardEntry, entry);
        QFETCH(double, aspectRatio);
        QFETCH(int, expected);
        const HistoryRowPainter painter(layout);
        const QFont font;
        // A 400-wide card leaves 376 for the content.
        const int height = painter.cardHeight(entry, 400, font, aspectRatio);
        if (layout == HistoryRowLayout::quickPaste) {
            QCOMPARE(height, expected);
            return;
        }
        const int reference = entry.kind == ClipboardKind::image
                                  ? painter.cardHeight(entry, 400, font, 10.0)
                                  : painter.cardHeight(makeEntry(u"short"_s, 1), 400, font);
        QCOMPARE(height - reference, expected);
    }

    void selectionFollowsBothWays_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("expectedRow");
        QTest::newRow("model picks a row far down") << u"model 150"_s << 150;
        QTest::newRow("model clears it") << u"model none"_s << -1;
        QTest::newRow("click") << u"click 2"_s << 2;
        QTest::newRow("arrow down") << u"down"_s << 1;
    }

    void selectionFollowsBothWays()
    {
        QFETCH(QString, action);
        QFETCH(int, expectedRow);
        Harness h(texts(200));
        QCOMPARE(h.selectedRow(), 0);
        if (action == u"model 150")
            h.model->setSelection(h.list().entry(150).id);
        else if (action == u"model none")
            h.model->setSelection(QUuid());
        else if (action == u"click 2")
            QTest::mouseClick(h.view->viewport(), Qt::LeftButton, {}, h.rowRect(2).center());
        else
            QTest::keyClick(h.view.get(), Qt::Key_Down);

        QCOMPARE(h.selectedRow(), expectedRow);
        QCOMPARE(h.model->selection(), expectedRow < 0 ? QUuid() : h.list().entry(expectedRow).id);
        if (expectedRow >= 0)
            QVERIFY(h.view->viewport()->rect().contains(h.rowRect(expectedRow)));
    }

    // The list changes under a selected row that was in view; the row stays in view.
    void selectionStaysInViewAsTheListChanges_data()
    {
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<QString>("change");
        QTest::newRow("search cleared") << 150 << u"search"_s;
        QTest::newRow("copied again to the top") << 150 << u"copy"_s;
        QTest::newRow("limit drops the oldest") << 198 << u"capture"_s;
        QTest::newRow("selected while hidden") << 150 << u"hidden"_s;
    }

    void selectionStaysInViewAsTheListChanges()
    {
        QFETCH(int, selectedRow);
        QFETCH(QString, change);
        Harness h(texts(200));
        const ClipboardEntry selected = h.list().entry(selectedRow);
        if (change == u"hidden")
            h.view->hide();
        h.model->setSelection(selected.id);
        if (change == u"hidden") {
            h.view->show();
        } else if (change == u"search") {
            h.model->setQuery(selected.title);
            h.model->setQuery(QString());
        } else if (change == u"copy") {
            QVERIFY(h.model->copy(selected));
        } else {
            h.pasteboard.setText(u"a new copy"_s);
            h.model->clipboard().poll();
        }
        QCOMPARE(h.model->selection(), selected.id);
        QVERIFY(h.view->viewport()->rect().contains(h.view->visualRect(h.list().indexOf(selected.id))));
    }

    void keys_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("remaining");
        QTest::newRow("Delete removes the selected entry") << true << int(Qt::Key_Delete) << 2;
        QTest::newRow("Delete without a selection") << false << int(Qt::Key_Delete) << 3;
        QTest::newRow("Return does nothing") << true << int(Qt::Key_Return) << 3;
    }

    void keys()
    {
        QFETCH(bool, selected);
        QFETCH(int, key);
        QFETCH(int, remaining);
        Harness h(texts(3));
        h.model->setSelection(selected ? h.list().entry(1).id : QUuid());
        const QUuid target = h.model->selection();
        QTest::keyClick(h.view.get(), Qt::Key(key));
        QCOMPARE(h.model->entries().size(), remaining);
        QCOMPARE(h.list().rowCount(), remaining);
        QCOMPARE(h.list().indexOf(target).isValid(), remaining == 3 && selected);
    }

    void contextMenu_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("topTitle");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<int>("writes");
        QTest::newRow("copy again") << 0 << u"entry 2"_s << 3 << 1;
        QTest::newRow("delete") << 2 << u"entry 0"_s << 2 << 0;
    }

    void contextMenu()
    {
        QFETCH(int, action);
        QFETCH(QString, topTitle);
        QFETCH(int, remaining);
        QFETCH(int, writes);
        Harness h(texts(3));
        std::unique_ptr<QMenu> menu(h.view->contextMenu(h.list().index(2)));
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->text(), u"Copy Again"_s);
        QVERIFY(actions[1]->isSeparator());
        QCOMPARE(actions[2]->text(), u"Delete"_s);
        actions[action]->trigger();
        QCOMPARE(h.model->entries().first().title, topTitle);
        QCOMPARE(h.model->entries().size(), remaining);
        QCOMPARE(h.pasteboard.writes.size(), writes);
    }

    void relativeTimesRepaintOnTheMinute()
    {
        Harness h(texts(3));
        QCOMPARE(h.refreshTimer->delay(), HistoryListView::timeRefreshInterval);
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

        QVERIFY(h.refreshTimer->fire());
        QTRY_VERIFY(counter.paints > 0);
        QVERIFY(h.refreshTimer->isActive());
        QCOMPARE(h.refreshTimer->starts(), 2);
        QCOMPARE(changes.size(), 0);
        QCOMPARE(h.list().data(h.list().index(0)).toString(), u"entry 0, Editor, Text, 2 hours ago"_s);
    }

    void accessibleTexts_data()
    {
        QTest::addColumn<ClipboardEntry>("entry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        QTest::newRow("text") << makeEntry(u"hello"_s, base, 0, u"Notes"_s)
                              << u"hello, Notes, Text, 5 minutes ago"_s << QString();
        QTest::newRow("web link") << withKind(makeEntry(u"https://example.org"_s, base), ClipboardKind::link)
                                  << u"https://example.org, Editor, Link, 5 minutes ago"_s
                                  << L10n::text(L10n::Key::openBrowserHint);
        QTest::newRow("mail link") << withKind(makeEntry(u"mailto:a@example.org"_s, base),
                                               ClipboardKind::link)
                                   << u"mailto:a@example.org, Editor, Link, 5 minutes ago"_s
                                   << L10n::text(L10n::Key::openEmailHint);
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
    }

    void rowTitlesFollowTheLanguage()
    {
        Harness h({withKind(makeEntry(u"no file URL"_s, base), ClipboardKind::file)});
        const auto title = [&h] { return h.list().index(0).data().toString().section(u", "_s, 0, 0); };
        QCOMPARE(title(), L10n::text(L10n::Key::kindFile));
        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        const QString expected = L10n::text(L10n::Key::kindFile);
        const QString shown = title();
        AppLocalization::shared().select(AppLanguage::english);
        QCOMPARE(shown, expected);
    }

    // After each step the rows are the filtered entries, reached without a reset, and every row a
    // view holds on to still shows its entry: the model announced exactly the moves it made.
    void rowsFollowTheModelInPlace_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("queries narrow and widen")
            << QStringList{u"query al"_s, u"query a"_s, u"query beta"_s, u"query t"_s, u"query"_s};
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

            const QList<QUuid> expected = ids(h.model->filteredEntries());
            QCOMPARE(rowIds(h.list()), expected);
            for (const auto& [index, id] : std::as_const(held)) {
                QCOMPARE(index.isValid(), expected.contains(id));
                if (index.isValid())
                    QCOMPARE(h.list().entry(index.row()).id, id);
            }
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
        const QModelIndex image = h.list().index(99);
        h.view->scrollTo(image, QAbstractItemView::PositionAtTop);
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
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("opens");
        QTest::newRow("title opens the address") << u"title"_s << true;
        QTest::newRow("past the title's end selects") << u"beside"_s << false;
        QTest::newRow("metadata selects") << u"metadata"_s << false;
    }

    void linkTitles()
    {
        QFETCH(QString, where);
        QFETCH(bool, opens);
        Harness h({makeEntry(u"first"_s, base),
                   withKind(makeEntry(u"https://example.org/a"_s, base), ClipboardKind::link)});
        const HistoryRowPainter::Parts parts = h.parts(1);
        const QPoint point = where == u"title"    ? parts.titleLineRects[0].center()
                             : where == u"beside" ? QPoint(parts.titleLineRects[0].right() + 20,
                                                           parts.titleLineRects[0].center().y())
                                                  : parts.sourceNameRect.center();
        QTest::mouseMove(h.view->viewport(), point);
        QCOMPARE(h.view->viewport()->cursor().shape(), opens ? Qt::PointingHandCursor : Qt::ArrowCursor);
        QTest::mouseClick(h.view->viewport(), Qt::LeftButton, {}, point);
        QCOMPARE(h.opened, opens ? QList<QUrl>{QUrl(u"https://example.org/a"_s)} : QList<QUrl>());
        QCOMPARE(h.selectedRow(), opens ? 0 : 1);
    }

    void linkTitlesOnlyInTheHistoryLayout_data()
    {
        QTest::addColumn<HistoryRowLayout>("layout");
        QTest::addColumn<ClipboardKind>("kind");
        QTest::addColumn<HistoryRowPainter::Hit>("hit");
        QTest::newRow("history link")
            << HistoryRowLayout::history << ClipboardKind::link << HistoryRowPainter::Hit::linkTitle;
        QTest::newRow("quick paste link")
            << HistoryRowLayout::quickPaste << ClipboardKind::link << HistoryRowPainter::Hit::card;
        QTest::newRow("history text")
            << HistoryRowLayout::history << ClipboardKind::text << HistoryRowPainter::Hit::card;
    }

    void linkTitlesOnlyInTheHistoryLayout()
    {
        QFETCH(HistoryRowLayout, layout);
        QFETCH(ClipboardKind, kind);
        QFETCH(HistoryRowPainter::Hit, hit);
        const ClipboardEntry entry = withKind(makeEntry(u"https://example.org"_s, base), kind);
        const HistoryRowPainter painter(layout);
        const HistoryRow row{entry, false, false, false, {}, std::nullopt, Timestamp{base}};
        const QRect card(0, 0, 400, painter.cardHeight(entry, 400, QFont()));
        const HistoryRowPainter::Parts parts = painter.arrange(row, card, QFont());
        QCOMPARE(painter.hitTest(row, card, QFont(), parts.titleLineRects[0].center()), hit);
        QCOMPARE(painter.hitTest(row, card, QFont(), QPoint(1, 1)), HistoryRowPainter::Hit::none);
    }
};

QTEST_MAIN(TestHistoryList)
#include "tst_historylist.moc"
