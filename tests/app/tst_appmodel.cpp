#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "app/Preferences.h"
#include "models/LocalizedSearch.h"
#include "models/TextRules.h"
#include "services/ArchiveCodec.h"
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

ClipboardEntry withKind(ClipboardEntry entry, ClipboardKind kind)
{
    entry.kind = kind;
    return entry;
}

QList<QUuid> ids(const QList<ClipboardEntry>& entries)
{
    QList<QUuid> result;
    for (const ClipboardEntry& entry : entries)
        result.append(entry.id);
    return result;
}

// Texts that try the search: case, accents precomposed and combining, ß and æ, Chinese, kana and
// Latin letters of both widths, characters collation ignores, Thai vowels written before their
// consonant, lines far longer than a title, and titles made of words of the language.
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
    ClipboardEntry image = makeEntry(QString(), 497);
    image.kind = ClipboardKind::image;
    image.plainText.reset();
    image.items = {{{{PasteboardType::png, "not decoded here"}}}};
    entries.append(refreshed(image));
    ClipboardEntry files = makeEntry(QString(), 496, 0, QString());
    files.kind = ClipboardKind::file;
    files.plainText.reset();
    files.items.clear();
    for (const char* name : {"Straße.txt", "ＡＢＣ.pdf", "剪贴板.png"})
        files.items.append({{{PasteboardType::fileURL,
                              QUrl::fromLocalFile(u"/tmp/"_s + QString::fromUtf8(name)).toEncoded()}}});
    entries.append(refreshed(files));
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
    std::unique_ptr<AppModel> model;

    explicit Harness(const QList<ClipboardEntry>& archived = {}, bool paused = false)
    {
        if (!archived.isEmpty())
            HistoryRepository::write(directory, archived);
        preferences.setBool(Preferences::Key::recordingPaused, paused);
        pasteboard.setText(u"on the clipboard at launch"_s);
        model = std::make_unique<AppModel>(pasteboard, workspace, preferences, directory,
                                           std::unique_ptr<DelayTimer>(saveTimer));
    }

    QString archivePath() const { return directory + u"/history.plist"_s; }

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

    // Lets the debounced save go to the worker at once.
    void runSave() { QVERIFY(saveTimer->fire()); }
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
                   withKind(makeEntry(u"https://older.example"_s, 10), ClipboardKind::link)});
        h.model->setFilter(ClipboardKind::link);
        QVERIFY(h.startAndLoad());
        QCOMPARE(titles(h.model->entries()), u"newest|https://older.example"_s);
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
        h.workspace.frontmost = RunningApplication{u"Editor"_s, u"org.example.Editor"_s, 1};
        h.copyText(u"a"_s);
        h.copyText(u"b"_s);
        h.copyText(u"a"_s);
        QCOMPARE(titles(h.model->entries()), u"a|b"_s);
        QCOMPARE(h.model->selection(), h.model->entries().first().id);
        h.runSave();
        QTRY_COMPARE(titles(HistoryRepository::read(h.directory).entries), u"a|b"_s);

        h.copyText(QString(13 * 1024 * 1024, u'x'));
        QVERIFY(h.model->activityMessage());
        QCOMPARE(h.model->activityMessage()->key, std::optional(L10n::Key::copyTooLarge));
        QCOMPARE(h.model->entries().size(), 2);
    }

    void anUnreadableArchiveIsNeverRewritten()
    {
        Harness h;
        QVERIFY(QDir().mkpath(h.directory));
        QFile file(h.archivePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("damaged beyond reading");
        file.close();

        QVERIFY(h.startAndLoad());
        QVERIFY(h.model->needsRecovery());
        QCOMPARE(h.model->errorMessage()->key, std::optional(L10n::Key::historyReadFailed));
        // Plain words for the user, and the way out named by its button.
        for (const AppLanguage language : {AppLanguage::simplifiedChinese, AppLanguage::english}) {
            AppLocalization::shared().select(language);
            const QString banner = h.model->errorMessage()->text();
            QVERIFY2(banner.contains(L10n::text(L10n::Key::clearHistory)) && !banner.contains(u"bplist"_s),
                     qPrintable(banner));
        }
        QVERIFY(!h.pasteboard.observing());

        h.copyText(u"not recorded"_s);
        QVERIFY(h.model->entries().isEmpty());
        QVERIFY(h.model->copy(makeEntry(u"copied back"_s, 5)));
        QVERIFY(h.model->entries().isEmpty());
        QVERIFY(!h.model->flush());
        QVERIFY(!h.saveTimer->isActive());
        QCOMPARE(contents(h.archivePath()), QByteArray("damaged beyond reading"));

        // Clearing is the way out: an empty archive replaces the damaged one, and what is on the
        // clipboard now is not taken for a new copy.
        h.model->clearHistory();
        QVERIFY(!h.model->needsRecovery());
        QVERIFY(!h.model->errorMessage());
        QVERIFY(h.pasteboard.observing());
        h.model->clipboard().poll();
        QVERIFY(h.model->entries().isEmpty());
        h.runSave();
        QTRY_VERIFY(QFileInfo::exists(h.archivePath()) &&
                    QFileInfo(h.archivePath()).size() != qint64(sizeof("damaged beyond reading") - 1));
        const HistoryRepository::LoadResult reread = HistoryRepository::read(h.directory);
        QVERIFY(!reread.error);
        QVERIFY(reread.entries.isEmpty());

        // The damaged file was kept, private, and the user is told where.
        const QFileInfoList kept =
            QDir(h.directory).entryInfoList({u"history-unreadable-*.plist"_s}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(contents(kept.first().filePath()), QByteArray("damaged beyond reading"));
        QCOMPARE(int(kept.first().permissions() & QFileDevice::Permissions(0x7077)), 0x6000); // owner rw only
        QTRY_VERIFY(h.model->activityMessage());
        QVERIFY2(h.model->activityMessage()->text().contains(kept.first().filePath()),
                 qPrintable(h.model->activityMessage()->text()));
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
        QList<ClipboardEntry> entries{makeEntry(u"CAFÉ au lait"_s, 4), makeEntry(u"Viel Ärger heute"_s, 3),
                                      makeEntry(u"剪贴板历史"_s, 2),
                                      makeEntry(u"lait au chocolat"_s, 1, 0, QString())};
        Harness h(entries);
        QVERIFY(h.startAndLoad());
        h.model->setQuery(query);
        h.model->setFilter(filter);
        QCOMPARE(titles(h.model->filteredEntries()), visible);
    }

    // Every search goes to the worker here, typed a letter at a time and deleted again, so that searches
    // supersede others and reuse what they left; then the language changes under it.
    void searchMatchesTheStraightforwardSearch_data()
    {
        QTest::addColumn<QString>("query");
        QTest::newRow("ss finds ß, s does not") << u"ss"_s;
        QTest::newRow("ae finds æ, a does not") << u"ae"_s;
        QTest::newRow("accents and case") << u"CRÈME"_s;
        QTest::newRow("combining accent") << u"creme br"_s;
        QTest::newRow("Chinese") << u"剪贴板"_s;
        QTest::newRow("kana of both widths") << u"トウキョウ"_s;
        QTest::newRow("full-width Latin") << u"abc"_s;
        QTest::newRow("ignorable characters") << u"xy"_s;
        QTest::newRow("ligature") << u"file"_s;
        QTest::newRow("dotted capital I") << u"istanbul"_s;
        QTest::newRow("a Thai vowel at the title's end") << u"aเ"_s;
        QTest::newRow("the end of a very long line") << u"xx straße"_s;
        QTest::newRow("source label") << u"other app"_s;
        QTest::newRow("source label in Chinese") << u"其他"_s;
        QTest::newRow("image title") << u"image"_s;
        QTest::newRow("file list title") << u"3 files"_s;
        QTest::newRow("spaces around") << u"  \nstrasse "_s;
        QTest::newRow("nothing") << u"zebra"_s;
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

    void theSourceLabelFollowsTheLanguage()
    {
        Harness h({makeEntry(u"from nowhere"_s, 1, 0, QString())});
        QVERIFY(h.startAndLoad());
        h.model->setQuery(u"其他"_s);
        QVERIFY(h.model->filteredEntries().isEmpty());
        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        QCOMPARE(h.model->filteredEntries().size(), 1);
        AppLocalization::shared().select(AppLanguage::english);
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
        QVERIFY(!h.pasteboard.observing());
        QVERIFY(h.startAndLoad());

        h.model->setRecordingPaused(true);
        QVERIFY(!h.pasteboard.observing());
        QVERIFY(h.preferences.boolValue(Preferences::Key::recordingPaused));
        h.pasteboard.setText(u"copied while paused"_s);
        const int seenBefore = h.pasteboard.markSeenCalls();

        h.model->setRecordingPaused(false);
        QCOMPARE(h.pasteboard.markSeenCalls(), seenBefore + 1);
        QVERIFY(h.pasteboard.observing());
        QVERIFY(h.model->entries().isEmpty());
        QVERIFY(!h.preferences.boolValue(Preferences::Key::recordingPaused));
    }

    void copyingAgain()
    {
        Harness h({makeEntry(u"newer"_s, 2), makeEntry(u"older"_s, 1)});
        QVERIFY(h.startAndLoad());
        h.model->setActivityMessage(AppMessage{L10n::Key::copyTooLarge, std::nullopt});
        QVERIFY(h.model->copy(h.model->entries().last()));
        QCOMPARE(titles(h.model->entries()), u"older|newer"_s);
        QVERIFY(!h.model->activityMessage());

        h.model->setRecordingPaused(true);
        QVERIFY(h.model->copy(h.model->entries().last()));
        QCOMPARE(titles(h.model->entries()), u"older|newer"_s);

        ClipboardEntry gone = makeEntry(u"gone"_s, 3);
        gone.kind = ClipboardKind::file;
        gone.items = {{{{PasteboardType::fileURL, "file:///nowhere/gone.txt"}}}};
        const int writes = static_cast<int>(h.pasteboard.writes.size());
        QVERIFY(!h.model->copy(gone));
        QCOMPARE(h.pasteboard.writes.size(), writes);
        QVERIFY(h.model->errorMessage());
        QVERIFY(!h.model->errorMessage()->key);
        QVERIFY(h.model->errorMessage()->text().contains(u"gone.txt"_s));
    }

    void aFailedSaveKeepsTheListAndTheMessage()
    {
        Harness h;
        QVERIFY(h.startAndLoad());
        QVERIFY(QDir().mkpath(h.archivePath()));
        h.copyText(u"kept in memory"_s);
        h.runSave();
        QTRY_VERIFY(h.model->errorMessage());
        QCOMPARE(h.model->errorMessage()->key, std::optional(L10n::Key::historySaveFailed));
        QCOMPARE(h.model->entries().size(), 1);

        QVERIFY(QDir(h.archivePath()).removeRecursively());
        h.copyText(u"saved now"_s);
        h.runSave();
        QTRY_COMPARE(HistoryRepository::read(h.directory).entries.size(), 2);
        QVERIFY(h.model->errorMessage());
    }

    void nothingIsWrittenWhileLoading()
    {
        Harness h;
        QVERIFY(!h.model->flush());
        QVERIFY(!QFileInfo::exists(h.directory));
    }

    void observersHearOnlyRealChanges()
    {
        Harness h({makeEntry(u"newer"_s, 2), makeEntry(u"older"_s, 1)});
        QVERIFY(h.startAndLoad());
        QSignalSpy query(h.model.get(), &AppModel::queryChanged);
        QSignalSpy errors(h.model.get(), &AppModel::errorMessageChanged);
        QSignalSpy entries(h.model.get(), &AppModel::entriesChanged);
        h.model->setQuery(u"x"_s);
        h.model->setQuery(u"x"_s);
        h.model->setErrorMessage(std::nullopt);
        h.model->setErrorMessage(std::nullopt);
        h.model->deleteEntry(QUuid::createUuid());
        QCOMPARE(entries.size(), 0);
        // Copied again where it already is: the same ids in the same order, only its time is new.
        QVERIFY(h.model->copy(h.model->entries().first()));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(query.size(), 1);
        QCOMPARE(errors.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestAppModel)
#include "tst_appmodel.moc"
