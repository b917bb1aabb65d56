#include "app/AppModel.h"
#include "app/Preferences.h"
#include "l10n/Localization.h"
#include "models/LocalizedSearch.h"
#include "models/TextRules.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString titles(const QList<ClipboardEntry>& entries)
{
    QStringList result;
    for (const ClipboardEntry& entry : entries)
        result.append(entry.title);
    return result.join(u'|');
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QUuid> ids(const QList<ClipboardEntry>& entries)
{
    QList<QUuid> result;
    for (const ClipboardEntry& entry : entries)
        result.append(entry.id);
    return result;
}

ClipboardEntry withKind(ClipboardEntry entry, ClipboardKind kind)
{
    entry.kind = kind;
    return entry;
}

ClipboardEntry withoutText(ClipboardEntry entry, ClipboardKind kind,
                           const QList<PasteboardItemSnapshot>& items)
{
    entry.kind = kind;
    entry.plainText.reset();
    entry.items = items;
    return refreshed(entry);
}

// Texts that try the search: case, accents precomposed and combining, ß and æ, Chinese, kana and
// Latin of both widths, ignorable characters, Thai vowels before their consonant, very long lines.
QList<ClipboardEntry> searchedHistory()
{
    const QStringList pieces{
        u"Straße"_s,      u"STRASSE"_s,    u"Ærø"_s,        u"aerial"_s,   u"Crème brûlée"_s,
        u"cre\u0300me"_s, u"剪贴板历史"_s, u"東京タワー"_s, u"ﾄｳｷｮｳ"_s,    u"ＡＢＣ"_s,
        u"ab\u00ADc"_s,   u"x\u200By"_s,   u"ﬁle"_s,        u"İstanbul"_s, u"เกม"_s,
        u"sS"_s,          u"a\u0001e"_s,   u"ＳＳ"_s,       u"groß"_s,
    };
    const QStringList separators{u" "_s, u"\n"_s, QString(), u"\t"_s};
    QRandomGenerator random(11);
    QList<ClipboardEntry> entries;
    for (int index = 0; index < 40; ++index) {
        QString text;
        for (int piece = 0; piece < 3; ++piece)
            text += separators[random.bounded(separators.size())] + pieces[random.bounded(pieces.size())];
        entries.append(makeEntry(text, 1000 - index, 0, index % 6 == 0 ? QString() : u"Editor"_s));
    }
    // The title stops after 160 characters: here between a Thai vowel and its consonant.
    entries.append(makeEntry(QString(159, u'a') + u"เกม"_s, 500));
    entries.append(makeEntry(QString(200000, u'x') + u" Straße"_s, 499));
    entries.append(makeEntry(u"log line\n"_s.repeated(20000) + u"ＡＢＣ"_s, 498, 0, QString()));
    entries.append(withoutText(makeEntry(QString(), 497), ClipboardKind::image,
                               {{{{PasteboardType::png, "not decoded here"}}}}));
    QList<PasteboardItemSnapshot> files;
    for (const char* name : {"Straße.txt", "ＡＢＣ.pdf", "剪贴板.png"})
        files.append({{{PasteboardType::fileURL,
                        QUrl::fromLocalFile(u"/tmp/"_s + QString::fromUtf8(name)).toEncoded()}}});
    entries.append(withoutText(makeEntry(QString(), 496, 0, QString()), ClipboardKind::file, files));
    return entries;
}

// The search as it reads: every entry's title, source label and plain text asked in turn.
QList<QUuid> straightforwardSearch(const QList<ClipboardEntry>& entries, const QString& query)
{
    const QString term = TextRules::trimmedWhitespace(query).toString();
    const LocalizedSearch search(term, AppLocalization::shared().languageIdentifier().replace(u'-', u'_'));
    QList<QUuid> found;
    for (const ClipboardEntry& entry : entries) {
        if (search.matchesEverything() || search.isFoundIn(entry.displayTitle()) ||
            search.isFoundIn(entry.displaySourceName()) ||
            search.isFoundIn(entry.plainText.value_or(QString())))
            found.append(entry.id);
    }
    return found;
}

// A model over doubles and a private archive folder, the way the application builds it.
struct Harness {
    QTemporaryDir root;
    Preferences preferences{root.filePath(u"Clipwell.conf"_s)};
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    ManualDelayTimer* saveTimer = new ManualDelayTimer;
    QString directory = root.filePath(u"history"_s);
    QString archivePath = directory + u"/history.plist"_s;
    std::unique_ptr<AppModel> model;

    explicit Harness(const QList<ClipboardEntry>& archived = {})
    {
        if (!archived.isEmpty())
            HistoryRepository::write(directory, archived);
        pasteboard.setText(u"on the clipboard at launch"_s);
        model = std::make_unique<AppModel>(pasteboard, workspace, preferences, directory,
                                           std::unique_ptr<DelayTimer>(saveTimer));
    }

    bool startAndLoad()
    {
        model->start();
        return QTest::qWaitFor([this] { return !model->isLoading(); }, 10000);
    }

    void copyText(const QString& text)
    {
        pasteboard.setText(text);
        model->clipboard().poll();
    }
};

} // namespace

class TestAppModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void loadSelectsTheFirstEntryEvenWhenHidden()
    {
        Harness h({makeEntry(u"newest"_s, 20),
                   withKind(makeEntry(u"https://a.example"_s, 10), ClipboardKind::link)});
        h.model->setFilter(ClipboardKind::link);
        QVERIFY(!h.model->flush()); // nothing is written while loading
        QVERIFY(h.startAndLoad());
        QCOMPARE(titles(h.model->entries()), u"newest|https://a.example"_s);
        QCOMPARE(h.model->selection(), h.model->entries().first().id);
        QVERIFY(!h.model->selectedEntry());
        h.model->reconcileSelection();
        QCOMPARE(h.model->selection(), h.model->entries().last().id);
        QVERIFY(h.pasteboard.observing());
    }

    void capturesAreRecordedMergedAndSaved()
    {
        Harness h;
        QVERIFY(h.startAndLoad());
        for (const QString& text : {u"a"_s, u"b"_s, u"a"_s})
            h.copyText(text);
        QCOMPARE(titles(h.model->entries()), u"a|b"_s);
        QCOMPARE(h.model->selection(), h.model->entries().first().id);
        QVERIFY(h.saveTimer->fire());
        QTRY_COMPARE(titles(HistoryRepository::read(h.directory).entries), u"a|b"_s);

        h.copyText(QString(13 * 1024 * 1024, u'x'));
        QCOMPARE(h.model->activityMessage()->key, std::optional(L10n::Key::copyTooLarge));
        QCOMPARE(h.model->entries().size(), 2);
    }

    void anUnreadableArchiveIsNeverRewritten()
    {
        Harness h;
        const QByteArray damaged = "damaged beyond reading";
        QVERIFY(QDir().mkpath(h.directory));
        QFile file(h.archivePath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
        file.close();

        QVERIFY(h.startAndLoad());
        QVERIFY(h.model->needsRecovery());
        QCOMPARE(h.model->errorMessage()->key, std::optional(L10n::Key::historyReadFailed));
        QVERIFY(!h.pasteboard.observing());
        h.copyText(u"not recorded"_s);
        QVERIFY(h.model->copy(makeEntry(u"copied back"_s, 5)));
        QVERIFY(h.model->entries().isEmpty());
        QVERIFY(!h.model->flush());
        QVERIFY(!h.saveTimer->isActive());
        QCOMPARE(contents(h.archivePath), damaged);

        // Clearing is the way out; what is on the clipboard now is not taken for a new copy.
        h.model->clearHistory();
        QVERIFY(!h.model->needsRecovery() && !h.model->errorMessage());
        QVERIFY(h.pasteboard.observing());
        h.model->clipboard().poll();
        QVERIFY(h.model->entries().isEmpty());
        QVERIFY(h.saveTimer->fire());
        QTRY_VERIFY(QFileInfo::exists(h.archivePath) && contents(h.archivePath) != damaged);
        const HistoryRepository::LoadResult reread = HistoryRepository::read(h.directory);
        QVERIFY(!reread.error && reread.entries.isEmpty());

        // The damaged file was kept, private, and the user is told where.
        const QFileInfoList kept = QDir(h.directory).entryInfoList({u"history-unreadable-*.plist"_s});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(contents(kept.first().filePath()), damaged);
        QCOMPARE(int(kept.first().permissions() & QFileDevice::Permissions(0x7077)), 0x6000);
        QTRY_VERIFY(h.model->activityMessage());
        QVERIFY(h.model->activityMessage()->text().contains(kept.first().filePath()));
    }

    void search_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<std::optional<ClipboardKind>>("filter");
        QTest::addColumn<QString>("visible");

        const std::optional<ClipboardKind> all;
        QTest::newRow("case and accents ignored") << u"cafe"_s << all << u"CAFÉ au lait"_s;
        QTest::newRow("umlaut found without it") << u"arger"_s << all << u"Viel Ärger heute"_s;
        QTest::newRow("Chinese substring") << u"剪贴"_s << all << u"剪贴板历史"_s;
        QTest::newRow("two words only together") << u"au lait"_s << all << u"CAFÉ au lait"_s;
        QTest::newRow("only spaces shows everything")
            << u"  \n "_s << all << u"CAFÉ au lait|Viel Ärger heute|剪贴板历史|lait au chocolat"_s;
        QTest::newRow("the filter restricts the search")
            << u"lait"_s << std::optional(ClipboardKind::link) << QString();
        QTest::newRow("the source label of a nameless source")
            << u"other app"_s << all << u"lait au chocolat"_s;
        QTest::newRow("nothing") << u"zebra"_s << all << QString();
    }

    void search()
    {
        QFETCH(QString, query);
        QFETCH(std::optional<ClipboardKind>, filter);
        QFETCH(QString, visible);
        Harness h({makeEntry(u"CAFÉ au lait"_s, 4), makeEntry(u"Viel Ärger heute"_s, 3),
                   makeEntry(u"剪贴板历史"_s, 2), makeEntry(u"lait au chocolat"_s, 1, 0, QString())});
        QVERIFY(h.startAndLoad());
        h.model->setQuery(query);
        h.model->setFilter(filter);
        QCOMPARE(titles(h.model->filteredEntries()), visible);
    }

    // Every search goes to the worker, typed a letter at a time and deleted again, so that searches
    // supersede others and reuse what they left; then the language changes under it.
    void searchMatchesTheStraightforwardSearch_data()
    {
        QTest::addColumn<QString>("query");
        for (const QString& query :
             {u"ss"_s, u"ae"_s, u"CRÈME"_s, u"creme br"_s, u"剪贴板"_s, u"トウキョウ"_s, u"abc"_s, u"xy"_s,
              u"file"_s, u"istanbul"_s, u"aเ"_s, u"xx straße"_s, u"other app"_s, u"其他"_s, u"image"_s,
              u"3 files"_s, u"  \nstrasse "_s, u"zebra"_s})
            QTest::addRow("%s", qPrintable(query)) << query;
    }

    void searchMatchesTheStraightforwardSearch()
    {
        QFETCH(QString, query);
        Harness h(searchedHistory());
        QVERIFY(h.startAndLoad());
        h.model->setSynchronousSearchLimit(0);
        QStringList steps;
        for (qsizetype length = 1; length <= query.size(); ++length)
            steps.append(query.left(length));
        for (qsizetype length = query.size() - 1; length > 0; --length)
            steps.append(query.left(length));

        for (qsizetype step = 0; step < steps.size(); ++step) {
            const QList<QUuid> shown = ids(h.model->filteredEntries());
            h.model->setQuery(steps[step]);
            h.model->reconcileSelection();
            // Until the search finishes, the last finished list stays.
            if (h.model->isSearching())
                QCOMPARE(ids(h.model->filteredEntries()), shown);
            // Some searches finish before the next letter, others are superseded.
            if (step % 2 == 0 || step + 1 >= query.size())
                QTRY_VERIFY(!h.model->isSearching());
            if (step + 1 < query.size())
                continue;
            QCOMPARE(ids(h.model->filteredEntries()), straightforwardSearch(h.model->entries(), steps[step]));
            QCOMPARE(h.model->selectedEntry().has_value(), !h.model->filteredEntries().isEmpty());
        }
        h.model->setQuery(query);
        for (AppLanguage language : {AppLanguage::simplifiedChinese, AppLanguage::english}) {
            AppLocalization::shared().select(language);
            QTRY_VERIFY(!h.model->isSearching());
            QCOMPARE(ids(h.model->filteredEntries()), straightforwardSearch(h.model->entries(), query));
        }
    }

    void deletingMovesTheSelection()
    {
        Harness h({makeEntry(u"c"_s, 3), makeEntry(u"b"_s, 2), makeEntry(u"a"_s, 1)});
        QVERIFY(h.startAndLoad());
        int cancelled = 0;
        h.model->cancelQuickPaste = [&cancelled] { ++cancelled; };
        h.model->setQuery(u"c"_s);
        h.model->deleteEntry(h.model->selection());
        QCOMPARE(titles(h.model->entries()), u"b|a"_s);
        QVERIFY(h.model->selection().isNull());
        h.model->setQuery(QString());
        h.model->reconcileSelection();
        QCOMPARE(h.model->selectedEntry()->title, u"b"_s);
        h.model->deleteEntry(h.model->selection());
        QCOMPARE(h.model->selectedEntry()->title, u"a"_s);
        QCOMPARE(cancelled, 2);
        QVERIFY(h.saveTimer->isActive());
    }

    void pauseAndResume()
    {
        Harness h;
        h.model->setRecordingPaused(false);
        QVERIFY(!h.pasteboard.observing()); // not before the history is loaded
        QVERIFY(h.startAndLoad());

        h.model->setRecordingPaused(true);
        QVERIFY(!h.pasteboard.observing());
        QVERIFY(h.preferences.boolValue(Preferences::Key::recordingPaused));
        h.copyText(u"copied while paused"_s);
        h.pasteboard.setText(u"copied while paused, not yet seen"_s);
        h.model->setRecordingPaused(false);
        QVERIFY(h.pasteboard.observing());
        QVERIFY(h.model->entries().isEmpty());
        QVERIFY(!h.preferences.boolValue(Preferences::Key::recordingPaused));
    }

    void copyingAgain()
    {
        Harness h({makeEntry(u"newer"_s, 2), makeEntry(u"older"_s, 1)});
        QVERIFY(h.startAndLoad());
        QSignalSpy changes(h.model.get(), &AppModel::entriesChanged);
        h.model->deleteEntry(QUuid::createUuid());
        QCOMPARE(changes.size(), 0);
        // Copied again where it already is: only its time is new, and observers still hear of it.
        QVERIFY(h.model->copy(h.model->entries().first()));
        QCOMPARE(changes.size(), 1);

        h.model->setActivityMessage(AppMessage{L10n::Key::copyTooLarge, std::nullopt});
        QVERIFY(h.model->copy(h.model->entries().last()));
        QCOMPARE(titles(h.model->entries()), u"older|newer"_s);
        QVERIFY(!h.model->activityMessage());
        h.model->setRecordingPaused(true);
        QVERIFY(h.model->copy(h.model->entries().last()));
        QCOMPARE(titles(h.model->entries()), u"older|newer"_s);

        const ClipboardEntry gone = withoutText(makeEntry(u"gone"_s, 3), ClipboardKind::file,
                                                {{{{PasteboardType::fileURL, "file:///nowhere/gone.txt"}}}});
        const qsizetype writes = h.pasteboard.writes.size();
        QVERIFY(!h.model->copy(gone));
        QCOMPARE(h.pasteboard.writes.size(), writes);
        QVERIFY(h.model->errorMessage()->text().contains(u"gone.txt"_s));
    }

    void aFailedSaveKeepsTheListAndTheMessage()
    {
        Harness h;
        QVERIFY(h.startAndLoad());
        QVERIFY(QDir().mkpath(h.archivePath));
        h.copyText(u"kept in memory"_s);
        QVERIFY(h.saveTimer->fire());
        QTRY_VERIFY(h.model->errorMessage());
        QCOMPARE(h.model->errorMessage()->key, std::optional(L10n::Key::historySaveFailed));
        QCOMPARE(h.model->entries().size(), 1);

        QVERIFY(QDir(h.archivePath).removeRecursively());
        h.copyText(u"saved now"_s);
        QVERIFY(h.saveTimer->fire());
        QTRY_COMPARE(HistoryRepository::read(h.directory).entries.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestAppModel)
#include "tst_appmodel.moc"
