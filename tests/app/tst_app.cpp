#include "app/AppModel.h"
#include "app/HistorySearch.h"
#include "app/LoginItemService.h"
#include "app/Preferences.h"
#include "app/QuickPasteController.h"
#include "l10n/Localization.h"
#include "models/LocalizedSearch.h"
#include "models/TextRules.h"
#include "support/EntryBuilder.h"
#include "support/FakeEventTap.h"
#include "support/FakeLoginItemService.h"
#include "support/FakePasteboard.h"
#include "support/FakeQuickPaste.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "support/TestColumns.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

using namespace Qt::StringLiterals;

using Key = Preferences::Key;
using Status = LoginItemService::Status;
Q_DECLARE_METATYPE(LoginItemService::Status)

namespace {

const QString binary = u"/usr/bin/clipwell"_s;

void writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), contents.size());
}

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

// Every typed read of the store.
QString typedReads(const Preferences& preferences)
{
    return QStringList{preferences.stringValue(Key::appLanguage).value_or(u"<none>"_s),
                       preferences.stringValue(Key::appTheme).value_or(u"<none>"_s),
                       QString::number(preferences.boolValue(Key::recordingPaused)),
                       QString::number(preferences.boolValue(Key::quickPasteEnabled)),
                       QString::number(preferences.intValue(Key::accessibilityGuideLaunchPresentationCount)),
                       QString::number(preferences.doubleValue(Key::historySidebarWidth)),
                       QString::fromLatin1(preferences.bytesValue(u"geometry"_s).toHex())}
        .join(u' ');
}

// Quick paste over doubles: an editor in front with a focused field, three entries ("c" newest).
struct QuickPasteHarness : Harness {
    FakeEventTap tap;
    FakeAccessibility accessibility;
    FakeKeystrokePoster keystrokes;
    FakePopup* popup = new FakePopup;
    ManualDelayTimer* pasteTimer = new ManualDelayTimer;
    ManualDelayTimer* pollTimer = new ManualDelayTimer;
    ManualDelayTimer* releaseTimer = new ManualDelayTimer;
    std::unique_ptr<QuickPasteController> controller;

    explicit QuickPasteHarness(QList<ClipboardEntry> archived = {makeEntry(u"c"_s, 3), makeEntry(u"b"_s, 2),
                                                                 makeEntry(u"a"_s, 1)})
        : Harness(archived)
    {
        workspace.frontmost = RunningApplication{u"Editor"_s, u"editor"_s, 4242, true};
        workspace.focused.insert(4242, FocusedElement{7});
        controller = std::make_unique<QuickPasteController>(
            *model, preferences, QuickPasteController::Platform{workspace, tap, accessibility, keystrokes},
            std::unique_ptr<QuickPastePopup>(popup),
            QuickPasteController::Timers{std::unique_ptr<DelayTimer>(pasteTimer),
                                         std::unique_ptr<DelayTimer>(pollTimer),
                                         std::unique_ptr<DelayTimer>(releaseTimer)});
    }

    // A key or modifier change as the tap reports it, with its callbacks delivered; whether it was
    // swallowed.
    bool type(TapEvent::Type type, quint16 key, quint64 flags = TapEvent::commandFlag | TapEvent::shiftFlag)
    {
        TapEvent event{.type = type, .keyCode = key, .flags = flags};
        const bool swallowed = tap.client->handle(event);
        QCoreApplication::sendPostedEvents();
        return swallowed;
    }
};

} // namespace

class TestApp : public QObject {
    Q_OBJECT

    QTemporaryDir m_directory;
    int m_files = 0;

    QString preferencesFile(const QByteArray& contents = {})
    {
        const QString path = m_directory.filePath(u"prefs-%1.conf"_s.arg(++m_files));
        if (!contents.isEmpty())
            writeFile(path, "[General]\n" + contents);
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void loadSelectsTheFirstEntryEvenWhenHidden()
    {
        ClipboardEntry link = makeEntry(u"https://a.example"_s, 10);
        link.kind = ClipboardKind::link;
        Harness h({makeEntry(u"newest"_s, 20), link});
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

        // A failed save keeps the list and says so; the next save writes it all.
        QVERIFY(QFile::remove(h.archivePath) && QDir().mkpath(h.archivePath));
        h.copyText(u"c"_s);
        QVERIFY(h.saveTimer->fire());
        QTRY_VERIFY(h.model->errorMessage());
        QCOMPARE(h.model->errorMessage()->key, std::optional(L10n::Key::historySaveFailed));
        QCOMPARE(h.model->entries().size(), 3);
        QVERIFY(QDir(h.archivePath).removeRecursively());
        h.copyText(u"d"_s);
        QVERIFY(h.saveTimer->fire());
        QTRY_COMPARE(titles(HistoryRepository::read(h.directory).entries), u"d|c|a|b"_s);
    }

    void anUnreadableArchiveIsNeverRewritten()
    {
        Harness h;
        const QByteArray damaged = "damaged beyond reading";
        writeFile(h.archivePath, damaged);

        QVERIFY(h.startAndLoad());
        QVERIFY(h.model->needsRecovery());
        QCOMPARE(h.model->errorMessage()->key, std::optional(L10n::Key::historyReadFailed));
        QVERIFY(!h.pasteboard.observing());
        h.copyText(u"not recorded"_s);
        QVERIFY(h.pasteboard.recorded.isEmpty());
        QVERIFY(h.model->copy(makeEntry(u"copied back"_s, 5)));
        QVERIFY(h.model->entries().isEmpty());
        QVERIFY(!h.model->flush());
        QVERIFY(!h.saveTimer->isActive());
        QCOMPARE(contents(h.archivePath), damaged);

        // Clearing is the way out; what is on the clipboard now is not taken for a new copy.
        h.model->clearHistory();
        QVERIFY(h.pasteboard.recorded.contains(-1));
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
        addColumns<QString, std::optional<ClipboardKind>, QString>("query", "filter", "visible");

        const std::optional<ClipboardKind> all;
        QTest::newRow("case and accents ignored") << u"cafe"_s << all << u"CAFÉ au lait"_s;
        QTest::newRow("umlaut found without it") << u"arger"_s << all << u"Viel Ärger heute"_s;
        QTest::newRow("Chinese substring") << u"剪贴"_s << all << u"剪贴板历史"_s;
        QTest::newRow("two words only together") << u"au lait"_s << all << u"CAFÉ au lait"_s;
        QTest::newRow("only spaces shows everything")
            << u"  \n "_s << all << u"CAFÉ au lait|Viel Ärger heute|剪贴板历史|lait au chocolat"_s;
        QTest::newRow("the filter restricts the search")
            << u"lait"_s << std::optional(ClipboardKind::link) << QString();
    }

    void search()
    {
        QFETCH(QString, query);
        QFETCH(std::optional<ClipboardKind>, filter);
        QFETCH(QString, visible);
        Harness h({makeEntry(u"CAFÉ au lait"_s, 4), makeEntry(u"Viel Ärger heute"_s, 3),
                   makeEntry(u"剪贴板历史"_s, 2), makeEntry(u"lait au chocolat"_s, 1)});
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

    // The answers of a search that was superseded while it ran arrive first; they must not pass for
    // the current search's.
    void aSupersededSearchNeverFinishesTheCurrentOne()
    {
        const QList<ClipboardEntry> history = searchedHistory();
        const QString language = AppLocalization::shared().languageIdentifier();
        HistorySearch search;
        search.synchronousLimit = 0;
        QList<bool> complete;
        connect(&search, &HistorySearch::finished, this, [&] {
            const QList<std::optional<bool>> answers = search.answers(history, {}, u"b"_s, language);
            complete.append(
                std::all_of(answers.cbegin(), answers.cend(), [](auto a) { return a.has_value(); }));
        });
        search.answers(history, {}, u"a"_s, language);
        search.answers(history, {}, u"b"_s, language);
        QTRY_COMPARE(complete, QList<bool>{true});
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
        // Both were the newest when deleted: the clipboard's copy must not come back.
        QCOMPARE(h.pasteboard.recorded.count(-1), 2);
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
        QVERIFY(h.pasteboard.recorded.isEmpty());
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

    // What an entry on disk means, and what a start makes of it: an entry of a version without the
    // background option gets it, anything else is left as it is. "/": a folder where the entry belongs.
    void existingEntries_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QByteArray>("updated"); // null: unchanged
        const auto row = [](const char* name, const QByteArray& entry, Status status,
                            const QByteArray& updated = {}) {
            QTest::newRow(name) << entry << status << updated;
        };
        const QByteArray head = "[Desktop Entry]\n";
        const QByteArray older =
            head +
            "Type=Application\nName=Clipwell\nExec=\"/opt/a\\\\\"b/clipwell\"\nX-GNOME-Autostart-Delay=5\n";
        QByteArray current = older;
        current.replace("clipwell\"\n", "clipwell\" --background\n");
        row("no entry", QByteArray(), Status::notRegistered);
        row("unreadable", "/", Status::notFound, "");
        row("plain entry", head + "Exec=clipwell\n", Status::enabled);
        row("hidden", head + "Hidden=true\n", Status::notRegistered);
        row("hidden false", head + "Hidden=false\n", Status::enabled);
        row("off for GNOME", head + "X-GNOME-Autostart-enabled=false\n", Status::notRegistered);
        row("spaces around =", head + "Hidden = true\n", Status::notRegistered);
        row("hidden only in an action", head + "Exec=clipwell\n\n[Desktop Action x]\nHidden=true\n",
            Status::enabled);
        row("commented out", head + "# Hidden=true\n", Status::enabled);
        row("older entry", older, Status::enabled, current);
        row("current entry", current, Status::enabled);
        row("TryExec is not the command", head + "TryExec=\"/usr/bin/clipwell\"\nExec=true\n",
            Status::enabled);
        row("switched off", older + "Hidden=true\n", Status::notRegistered);
        row("the user's own command", head + "Exec=\"/usr/bin/clipwell\" --verbose\n", Status::enabled);
        row("only in an action", head + "Exec=true\n[Desktop Action a]\nExec=\"/usr/bin/clipwell\"\n",
            Status::enabled);
    }

    void existingEntries()
    {
        QFETCH(QByteArray, entry);
        QFETCH(Status, status);
        QFETCH(QByteArray, updated);
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binary);
        if (entry == "/")
            QVERIFY(QDir().mkpath(service.entryPath()));
        else if (!entry.isNull())
            writeFile(service.entryPath(), entry);
        QCOMPARE(service.status(), status);
        QVERIFY(!service.updateOlderEntry());
        QCOMPARE(contents(service.entryPath()), updated.isNull() ? entry : updated);
    }

    // Quote, dollar and backtick are escaped inside the quotes; that backslash is then doubled as
    // every backslash of a string value. No exec: what is in the way makes the calls fail (CI runs as
    // root, so modes do not stop writes); "hidden": an older entry switched off.
    void registering_data()
    {
        addColumns<QString, QString, QByteArray>("binaryPath", "blocker", "exec");
        QTest::newRow("plain") << binary << QString() << QByteArray("/usr/bin/clipwell");
        QTest::newRow("over a hidden entry") << binary << u"hidden"_s << QByteArray("/usr/bin/clipwell");
        QTest::newRow("space") << u"/opt/My Apps/clipwell"_s << QString()
                               << QByteArray("/opt/My Apps/clipwell");
        QTest::newRow("quote, dollar, backtick")
            << u"/tmp/a\"b$c`d"_s << QString() << QByteArray("/tmp/a\\\\\"b\\\\$c\\\\`d");
        QTest::newRow("backslash") << u"/tmp/a\\b"_s << QString() << QByteArray("/tmp/a\\\\\\\\b");
        QTest::newRow("percent") << u"/tmp/100%/clipwell"_s << QString() << QByteArray("/tmp/100%%/clipwell");
        QTest::newRow("non-ASCII") << u"/home/李/clipwell"_s << QString() << QByteArray("/home/李/clipwell");
        QTest::newRow("a file as the autostart folder") << binary << u"autostart"_s << QByteArray();
        QTest::newRow("a folder as the entry") << binary << u"autostart/clipwell.desktop/"_s << QByteArray();
    }

    void registering()
    {
        QFETCH(QString, binaryPath);
        QFETCH(QString, blocker);
        QFETCH(QByteArray, exec);
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binaryPath);
        if (blocker == u"hidden")
            writeFile(service.entryPath(), "[Desktop Entry]\nExec=/old/clipwell\nHidden=true\n");
        else if (blocker.endsWith(u'/'))
            QVERIFY(QDir().mkpath(config.filePath(blocker)));
        else if (!blocker.isEmpty())
            writeFile(config.filePath(blocker), "not a folder");
        const std::optional<AppError> failure = service.registerItem();
        if (exec.isNull()) {
            // Only an entry that is there can fail to go.
            const std::optional<AppError> unregistered = service.unregisterItem();
            QCOMPARE(unregistered.has_value(), blocker.endsWith(u'/'));
            for (const std::optional<AppError>& error : {failure, unregistered})
                QVERIFY(!error || !error->localizedDescription().trimmed().isEmpty());
            QVERIFY(failure && service.status() != Status::enabled);
            return;
        }
        QVERIFY2(!failure, qPrintable(failure ? failure->localizedDescription() : QString()));
        QCOMPARE(service.entryPath(), config.filePath(u"autostart/clipwell.desktop"_s));
        const QByteArray entry = contents(service.entryPath());
        QVERIFY(entry.startsWith("[Desktop Entry]\n") && entry.contains("\nType=Application\n"));
        // Started at login, Clipwell stays in the tray.
        QVERIFY2(entry.contains("\nExec=\"" + exec + "\" --background\n"), entry.constData());
        QCOMPARE(service.status(), Status::enabled);
        QVERIFY(!service.unregisterItem());
        QVERIFY(!QFileInfo::exists(service.entryPath()));
        QVERIFY(!service.unregisterItem());
    }

    // Only an installed binary that can run takes the place of the running one.
    void loginStartsTheInstalledBinary_data()
    {
        addColumns<QString, QFileDevice::Permissions, bool>("installed", "permissions", "startsInstalled");
        const QFileDevice::Permissions executable = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
        QTest::newRow("installed") << u"bin/clipwell"_s << executable << true;
        QTest::newRow("not installed") << QString() << executable << false;
        QTest::newRow("not executable")
            << u"bin/clipwell"_s << QFileDevice::Permissions(QFileDevice::ReadOwner) << false;
        QTest::newRow("a folder") << u"bin/clipwell/x"_s << executable << false;
    }

    void loginStartsTheInstalledBinary()
    {
        QFETCH(QString, installed);
        QFETCH(QFileDevice::Permissions, permissions);
        QFETCH(bool, startsInstalled);
        QTemporaryDir root;
        if (!installed.isEmpty()) {
            writeFile(root.filePath(installed), "#!/bin/sh\n");
            QVERIFY(QFile::setPermissions(root.filePath(installed), permissions));
        }
        const QString installedBinary = root.filePath(u"bin/clipwell"_s);
        QCOMPARE(XdgAutostartLoginItemService::loginBinary(installedBinary, binary),
                 startsInstalled ? installedBinary : binary);
    }

    void openSettingsOpensTheAutostartFolder()
    {
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binary);
        QList<QUrl> opened;
        service.openUrl = [&opened](const QUrl& url) {
            opened.append(url);
            return true;
        };
        service.openSystemSettingsLoginItems();
        QVERIFY(QFileInfo(service.autostartDirectory()).isDir());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(service.autostartDirectory())});
    }

    // The switch starts on exactly when the item is enabled. Each row then has an earlier message under
    // it; failure: of whichever call is made; outcome: the calls, then the switch and its message.
    void settingTheSwitch_data()
    {
        addColumns<Status, bool, QString, std::optional<Status>, QString>("status", "newValue", "failure",
                                                                          "after", "outcome");
        const auto row = [](const char* name, Status status, bool newValue, const QString& failure,
                            std::optional<Status> after, const char* outcome) {
            QTest::newRow(name) << status << newValue << failure << after << QString::fromLatin1(outcome);
        };
        const std::optional<Status> same;
        row("not registered, on", Status::notRegistered, true, {}, Status::enabled, "register: on");
        row("not registered, off", Status::notRegistered, false, {}, same, ": off, earlier");
        row("enabled, off", Status::enabled, false, {}, Status::notRegistered, "unregister: off");
        row("requires approval, on counts as registered", Status::requiresApproval, true, {}, same,
            ": on, earlier");
        row("unregister fails, still enabled", Status::enabled, false, u"busy"_s, same,
            "unregister: on, busy");
        row("unregister fails, awaiting approval", Status::requiresApproval, false, u"busy"_s, same,
            "unregister: off, busy");
        row("register awaits approval", Status::notRegistered, true, {}, Status::requiresApproval,
            "register openSettings: on, loginApproval");
    }

    void settingTheSwitch()
    {
        QFETCH(Status, status);
        QFETCH(bool, newValue);
        QFETCH(QString, failure);
        QFETCH(std::optional<Status>, after);
        QFETCH(QString, outcome);
        FakeLoginItemService service;
        service.currentStatus = status;
        service.registerFailure = service.unregisterFailure = failure;
        service.statusAfterCall = after;
        QCOMPARE(LaunchAtLoginSwitch::initial(service).isOn, status == Status::enabled);
        LaunchAtLoginSwitch loginSwitch{!newValue, AppMessage{std::nullopt, AppError::fixed(u"earlier"_s)}};
        loginSwitch.set(newValue, service);
        QString shown = service.calls.join(u' ') + (loginSwitch.isOn ? u": on"_s : u": off"_s);
        if (const std::optional<AppMessage>& message = loginSwitch.message)
            shown += u", "_s + (message->key ? L10n::keyName(*message->key) : message->text());
        QCOMPARE(shown, outcome);
    }

    // The INI file keeps no types: a fresh reader gets booleans and numbers back from text, and what an
    // older version or a hand wrote is read under the same names (an unknown value stays). It reads a
    // copy, as Qt shares one cache per file; the writer stays alive, so each write reaches the file.
    void readsBackFromTheFile()
    {
        const QString path = preferencesFile();
        Preferences preferences(path);
        QCOMPARE(typedReads(preferences), u"<none> <none> 0 0 0 0 "_s);
        preferences.setString(Key::appLanguage, u"zh-Hant"_s);
        preferences.setString(Key::appTheme, u"dark"_s);
        preferences.setBool(Key::recordingPaused, true);
        preferences.setBool(Key::quickPasteEnabled, true);
        preferences.setInt(Key::accessibilityGuideLaunchPresentationCount, -3);
        preferences.setDouble(Key::historySidebarWidth, 1.5);
        preferences.setBytes(u"geometry"_s, QByteArray("\x01\xd9\xd0\xcb", 4));
        QVERIFY(QFile::copy(path, path + u".copy"_s));
        QCOMPARE(typedReads(Preferences(path + u".copy"_s)), u"zh-Hant dark 1 1 -3 1.5 01d9d0cb"_s);
        const Preferences byHand(
            preferencesFile("appLanguage=tlh\nappTheme=sepia\nrecordingPaused=true\nquickPasteEnabled="
                            "1\naccessibilityGuideLaunchPresentationCount=2\nhistorySidebarWidth=9\n"));
        QCOMPARE(typedReads(byHand), u"tlh sepia 1 1 2 9 "_s);
    }

    // Values written by hand or by an older version: anything unusable reads as the zero value.
    void rawValues_data()
    {
        addColumns<QByteArray, bool, int, double>("raw", "boolean", "integer", "real");

        QTest::newRow("True") << QByteArray("True") << true << 0 << 0.0;
        QTest::newRow("false") << QByteArray("false") << false << 0 << 0.0;
        QTest::newRow("1") << QByteArray("1") << true << 1 << 1.0;
        QTest::newRow("yes") << QByteArray("yes") << false << 0 << 0.0;
        QTest::newRow("negative fraction") << QByteArray("-1.9") << false << -1 << -1.9;
        QTest::newRow("exponent") << QByteArray("2.5e2") << false << 250 << 250.0;
        QTest::newRow("beyond int") << QByteArray("99999999999") << false << std::numeric_limits<int>::max()
                                    << 99999999999.0;
        QTest::newRow("below int") << QByteArray("-99999999999") << false << std::numeric_limits<int>::min()
                                   << -99999999999.0;
        QTest::newRow("nan") << QByteArray("nan") << false << 0 << 0.0;
        QTest::newRow("inf") << QByteArray("inf") << false << 0 << 0.0;
        QTest::newRow("list") << QByteArray("1, 2") << false << 0 << 0.0;
    }

    void rawValues()
    {
        QFETCH(QByteArray, raw);
        QFETCH(bool, boolean);
        QFETCH(int, integer);
        QFETCH(double, real);
        const Preferences preferences(preferencesFile("value=" + raw + "\n"));
        QCOMPARE(preferences.boolValue(u"value"_s), boolean);
        QCOMPARE(preferences.intValue(u"value"_s), integer);
        QCOMPARE(preferences.doubleValue(u"value"_s), real);
    }

    // Steps: "start" the chord, "V"/"Z" a press and "^V"/"^Z" a release with the chord held, "go" letting
    // go of it, "held:cstv" the keys down now (v: the shortcut's V), "click:N" on the popup's row N,
    // "wait" the paste delay, "field" the focus moving to another field, "tick" one look at the held
    // keys, "late" a second of them, "activate" another application coming forward, "none" no application
    // in front (the popup holds the keyboard) and "back" the target in front again, "poll" a look for it
    // after the delay and "gone" the longest wait for it, "secure" another program taking the keyboard,
    // "class:C" the window class in front, "prefer:C" the user's own Shift+Insert classes.
    void quickPaste_data()
    {
        addColumns<int, QString, QString>("entries", "steps", "outcome");
        const auto row = [](const char* name, int entries, const char* steps, const char* outcome) {
            QTest::newRow(name) << entries << QString::fromLatin1(steps) << QString::fromLatin1(outcome);
        };
        row("let go at once pastes the newest", 3, "start go wait", "pasted c; typed 1; popup hidden");
        row("one step forward", 3, "start ^V V ^V go wait", "pasted b; typed 1; popup hidden");
        row("empty history shows, pastes nothing", 0, "start", "typed 0; popup empty");
        row("empty history let go", 0, "start go wait", "typed 0; popup hidden");
        row("a modifier down again before the paste", 3, "start go held:s wait",
            "typed 0; message pasteCancelled; popup hidden");
        row("row clicked with the chord held", 3, "start held:cs click:2 wait tick held: tick",
            "pasted a; typed 1; popup hidden");
        row("row clicked, Control pressed meanwhile", 3, "start held:cs click:2 wait tick held:cst tick",
            "typed 0; message pasteCancelled; popup hidden");
        row("row clicked without the chord", 3, "start held:c click:1 wait", "typed 0; popup shown");
        row("another application comes forward", 3, "start activate wait", "typed 0; popup hidden");
        row("the popup holds the keyboard, the target comes back", 3, "start none go wait poll back poll",
            "pasted c; typed 1; popup hidden");
        row("the target never comes back", 3, "start none go wait gone",
            "typed 0; message pasteCancelled; popup hidden");
        row("a new chord within the delay", 3, "start ^V go start wait", "typed 0; popup shown");
        row("Escape", 3, "start esc wait", "typed 0; popup hidden");
        row("focus moved to another field", 3, "start go field wait",
            "typed 0; message pasteCancelled; popup hidden");
        row("another program takes the keyboard", 3, "start go secure wait",
            "typed 0; message pasteCancelled; popup hidden");
        row("V let go after Super and Shift", 3, "start go held:v wait tick held: tick",
            "pasted c; typed 1; popup hidden");
        row("V held on", 3, "start go held:v wait late", "typed 0; message pasteCancelled; popup hidden");
        row("a terminal", 3, "class:Gnome-terminal start go wait", "pasted c; typed 1 by 1; popup hidden");
        row("xterm pastes PRIMARY", 3, "class:XTerm start go wait",
            "pasted c; primary c; typed 1 by 2; popup hidden");
        row("a class of the user's own", 3, "class:Gnome-terminal prefer:Mine,gnome-terminal start go wait",
            "pasted c; primary c; typed 1 by 2; popup hidden");
    }

    void quickPaste()
    {
        QFETCH(int, entries);
        QFETCH(QString, steps);
        QFETCH(QString, outcome);
        QList<ClipboardEntry> archived{makeEntry(u"c"_s, 3), makeEntry(u"b"_s, 2), makeEntry(u"a"_s, 1)};
        QuickPasteHarness h(archived.first(entries));
        QVERIFY(h.startAndLoad());
        h.controller->setEnabled(true, false);
        QCOMPARE(h.model->quickPasteStatus(), QuickPasteStatus::ready);
        quint64 flagsWhenTyped = 0;
        h.keystrokes.onPost = [&] { flagsWhenTyped = h.tap.modifierFlags; };
        const QHash<QString, quint16> keys{{u"start"_s, TapEvent::keyV},
                                           {u"V"_s, TapEvent::keyV},
                                           {u"Z"_s, TapEvent::keyZ},
                                           {u"esc"_s, TapEvent::keyEscape}};
        std::optional<RunningApplication> target;
        for (const QString& step : steps.split(u' ')) {
            const QString argument = step.section(u':', 1);
            if (keys.contains(step) || step.startsWith(u'^'))
                h.type(step.startsWith(u'^') ? TapEvent::keyUp : TapEvent::keyDown,
                       keys.value(QString(step).remove(u'^')));
            else if (step == u"go")
                h.type(TapEvent::flagsChanged, 0, 0);
            else if (step.startsWith(u"held:")) {
                h.keystrokes.keyDown = argument.contains(u'v');
                h.tap.modifierFlags = (argument.contains(u'c') ? TapEvent::commandFlag : 0) |
                                      (argument.contains(u's') ? TapEvent::shiftFlag : 0) |
                                      (argument.contains(u't') ? TapEvent::controlFlag : 0);
            } else if (step.startsWith(u"click:")) {
                QVERIFY(h.popup->session);
                h.popup->onSelect(h.popup->session->candidates.at(argument.toInt()).id);
            } else if (step == u"wait")
                h.pasteTimer->advance(QuickPasteController::pasteDelay);
            else if (step == u"tick" || step == u"late")
                h.releaseTimer->advance(std::chrono::milliseconds(step == u"tick" ? 10 : 1000));
            else if (step == u"secure")
                h.tap.secureInput = true;
            else if (step.startsWith(u"class:"))
                h.workspace.windowClasses = {argument};
            else if (step.startsWith(u"prefer:"))
                h.preferences.setString(Key::pasteWithShiftInsert, argument);
            else if (step == u"field")
                h.workspace.focused.insert(4242, FocusedElement{8});
            else if (step == u"poll" || step == u"gone")
                h.pasteTimer->advance(step == u"poll" ? ChordReleaseWait::pollInterval
                                                      : QuickPasteController::activationLimit);
            else if (step == u"activate" || step == u"none" || step == u"back") {
                if (step == u"activate")
                    h.workspace.frontmost->processIdentifier = 4343;
                else if (step == u"none")
                    target = std::exchange(h.workspace.frontmost, std::nullopt);
                else
                    h.workspace.frontmost = target;
                h.workspace.notifications.applicationActivated();
            }
            QCoreApplication::sendPostedEvents();
        }
        const auto last = [](const QList<QList<PasteboardItemSnapshot>>& writes) {
            return QString::fromUtf8(writes.last().first().representations.first().data);
        };
        QStringList seen;
        if (!h.pasteboard.writes.isEmpty())
            seen << u"pasted "_s + last(h.pasteboard.writes);
        if (!h.pasteboard.selectionWrites.isEmpty())
            seen << u"primary "_s + last(h.pasteboard.selectionWrites);
        const PasteShortcut shortcut = h.keystrokes.shortcut.value_or(PasteShortcut::controlV);
        seen << u"typed %1"_s.arg(h.keystrokes.posts) +
                    (shortcut != PasteShortcut::controlV ? u" by %1"_s.arg(int(shortcut)) : QString());
        if (const std::optional<AppMessage> message = h.model->activityMessage())
            seen << u"message "_s + L10n::keyName(*message->key);
        seen << (h.popup->session
                     ? (h.popup->session->candidates.isEmpty() ? u"popup empty"_s : u"popup shown"_s)
                     : u"popup hidden"_s);
        QCOMPARE(seen.join(u"; "), outcome);
        // Typed only once Super and Shift were up; the pasted entry moved to the front.
        QCOMPARE(flagsWhenTyped, quint64(0));
        if (h.keystrokes.posts)
            QCOMPARE(h.model->entries().first().plainText,
                     h.pasteboard.writes.isEmpty() ? QString() : last(h.pasteboard.writes));
    }

    void quickPastePermission()
    {
        QuickPasteHarness h;
        QVERIFY(h.startAndLoad());
        h.accessibility.trusted = false;
        h.controller->setEnabled(true, true);
        QCOMPARE(h.accessibility.trustRequests, 1);
        QCOMPARE(h.model->quickPasteStatus(), QuickPasteStatus::needsPermission);
        QVERIFY(h.pollTimer->fire());
        QVERIFY(h.pollTimer->isActive());
        QVERIFY(!h.tap.isInstalled());
        h.accessibility.trusted = true;
        QVERIFY(h.pollTimer->fire());
        QCOMPARE(h.model->quickPasteStatus(), QuickPasteStatus::ready);
        QVERIFY(h.tap.isInstalled() && !h.pollTimer->isActive());
        // Clipwell coming to the front keeps a working tap as it is.
        h.controller->setApplicationActive(true);
        QCOMPARE(h.tap.installs, 1);
        h.accessibility.trusted = false;
        h.controller->refreshStatus();
        QVERIFY(h.pollTimer->isActive());
        h.controller->setEnabled(false, false);
        QCOMPARE(h.model->quickPasteStatus(), QuickPasteStatus::disabled);
        QVERIFY(!h.pollTimer->isActive());
        QVERIFY(!h.preferences.boolValue(Key::quickPasteEnabled));
    }

    // A session with no way to quick paste yet (Wayland): whatever is asked, the status says so, nothing
    // is installed, no permission is asked for or watched, and nothing is logged as going wrong.
    void quickPasteUnavailable()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        QuickPasteHarness h;
        QVERIFY(h.startAndLoad());
        h.tap.supported = false;
        h.accessibility.trusted = false;
        const std::vector<std::pair<const char*, std::function<void()>>> actions{
            {"switched on, asking for access", [&] { h.controller->setEnabled(true, true); }},
            {"try again", [&] { h.controller->refreshStatus(); }},
            {"grant access", [&] { h.controller->requestPermission(); }},
            {"Clipwell comes forward", [&] { h.controller->setApplicationActive(true); }},
            {"switched off", [&] { h.controller->setEnabled(false, false); }},
        };
        for (const auto& [name, action] : actions) {
            action();
            QVERIFY2(h.model->quickPasteStatus() == QuickPasteStatus::unavailable, name);
            QVERIFY2(h.tap.installs == 0 && h.accessibility.trustRequests == 0 && !h.pollTimer->isActive(),
                     name);
        }
        QVERIFY(!h.controller->isAvailable());
    }

    // No session while the history loads or Clipwell is in front: V goes on.
    void quickPasteRefused()
    {
        QuickPasteHarness h;
        h.controller->setEnabled(true, false);
        QVERIFY(!h.type(TapEvent::keyDown, TapEvent::keyV));
        QVERIFY(h.startAndLoad());
        for (const qint64 front : {QCoreApplication::applicationPid(), qint64(4242)}) {
            h.workspace.frontmost->processIdentifier = front;
            h.workspace.notifications.applicationActivated();
            QCOMPARE(h.type(TapEvent::keyDown, TapEvent::keyV), front == 4242);
        }
    }
};

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
