#include "l10n/Localization.h"
#include "services/ArchiveCodec.h"
#include "services/HistoryRepository.h"
#include "support/EntryBuilder.h"
#include "support/ManualDelayTimer.h"

#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using Code = HistoryRepository::RepositoryError;

namespace {

constexpr qint64 MiB = 1024 * 1024;

// Titles of the entries, newest first: the readable shape of a history in failure messages.
QString titles(const QList<ClipboardEntry>& entries)
{
    QStringList result;
    for (const ClipboardEntry& entry : entries)
        result.append(entry.title);
    return result.join(u' ');
}

// Group and others may not even look.
bool ownerOnly(const QString& path)
{
    const QFileDevice::Permissions permissions = QFile::permissions(path);
    return !(permissions & QFileDevice::Permissions(0x0077)) &&
           permissions.testFlag(QFileDevice::ReadOwner) && permissions.testFlag(QFileDevice::WriteOwner);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

HistoryRepository::LoadResult load(HistoryRepository& repository)
{
    std::optional<HistoryRepository::LoadResult> loaded;
    repository.load([&](HistoryRepository::LoadResult result) { loaded = std::move(result); });
    [&] { QTRY_VERIFY(loaded.has_value()); }();
    return loaded.value_or(HistoryRepository::LoadResult{});
}

// Entries from "title@time", newest or oldest first as written; "+N" adds N MiB of data, "=i" takes the
// id and "~i" the content (so the key, not the id) of the i-th entry.
QList<ClipboardEntry> build(const QString& spec)
{
    static const QRegularExpression token(u"(\\w+)@(\\d+)(?:\\+(\\d+))?(?:([=~])(\\d+))?"_s);
    QList<ClipboardEntry> entries;
    for (const QString& part : spec.split(u' ')) {
        const QRegularExpressionMatch m = token.match(part);
        ClipboardEntry entry = makeEntry(m.captured(1), m.captured(2).toInt(), m.captured(3).toInt() * MiB);
        if (m.hasCaptured(4)) {
            const ClipboardEntry& earlier = entries[m.captured(5).toInt()];
            if (m.captured(4) == u"="_s)
                entry.id = earlier.id;
            else
                entry.items = earlier.items;
        }
        entries.append(refreshed(entry));
    }
    return entries;
}

} // namespace

Q_DECLARE_METATYPE(Code)

class TestHistoryRepository : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    int m_dirCount = 0;

    QString freshDirectory() { return m_root.filePath(u"d%1/Clipwell"_s.arg(++m_dirCount)); }

    struct Repository {
        ManualDelayTimer* delay = new ManualDelayTimer;
        HistoryRepository repository;
        explicit Repository(const QString& directory)
            : repository(directory, std::unique_ptr<ManualDelayTimer>(delay))
        {
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void trim_data()
    {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("expected");
        QTest::newRow("oldest first becomes newest first") << u"a@1 b@2"_s << u"b a"_s;
        QTest::newRow("equal times keep file order") << u"a@5 b@5 c@9"_s << u"c a b"_s;
        QTest::newRow("same id: the later copy stays") << u"old@1 new@2=0"_s << u"new"_s;
        QTest::newRow("same key: the later copy stays") << u"old@1 new@2~0"_s << u"new"_s;
        QTest::newRow("same key and time: the first in the file stays")
            << u"first@3 second@3~0"_s << u"first"_s;
        QTest::newRow("over 12 MiB is dropped") << u"big@2+13 small@1"_s << u"small"_s;
        QTest::newRow("64 MiB in all, a smaller later entry still fits")
            << u"1@7+11 2@6+11 3@5+11 4@4+11 5@3+11 6@2+11 7@1+1"_s << u"1 2 3 4 5 7"_s;
    }

    void trim()
    {
        QFETCH(QString, entries);
        QFETCH(QString, expected);
        QCOMPARE(titles(HistoryRepository::trim(build(entries))), expected);
    }

    // The last entry is the copy recorded into the others.
    void recording_data()
    {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a new copy goes in front") << u"c@30 b@20 a@10 n@40"_s << u"n c b a"_s;
        QTest::newRow("the clock stepped back") << u"c@30 b@20 a@10 n@15"_s << u"c b n a"_s;
        QTest::newRow("equal time goes before") << u"c@30 b@20 a@10 n@20"_s << u"c n b a"_s;
        QTest::newRow("an oversized copy is not kept") << u"c@30 b@20 a@10 n@40+13"_s << u"c b a"_s;
        QTest::newRow("a copy again moves the entry it repeats") << u"c@30 b@20 a@10 n@40~1"_s << u"b c a"_s;
        QTest::newRow("a big copy pushes out what no longer fits")
            << u"c@30+11 b@20+11 a@10+11 z@5+11 y@4+11 x@3+1 n@40+11"_s << u"n c b a z x"_s;
    }

    void recording()
    {
        QFETCH(QString, entries);
        QFETCH(QString, expected);
        QList<ClipboardEntry> history = build(entries);
        const ClipboardEntry recorded = history.takeLast();
        const QList<ClipboardEntry> result = HistoryRepository::recording(recorded, history);
        QCOMPARE(titles(result), expected);
        if (recorded.deduplicationKey == history[1].deduplicationKey)
            QVERIFY(result.first().id == history[1].id && result.first().capturedAt == history[1].capturedAt);
    }

    void atMostTwoHundred()
    {
        QList<ClipboardEntry> entries;
        for (int i = 0; i < 200; ++i)
            entries.append(makeEntry(QString::number(i), 1000 - i));
        const QList<ClipboardEntry> recorded =
            HistoryRepository::recording(makeEntry(u"new"_s, 2000), entries);
        QCOMPARE(recorded.size(), 200);
        QCOMPARE(recorded.last().title, u"198"_s);

        ClipboardEntry empty = makeEntry(u"empty"_s, 3000);
        empty.items.clear();
        const QList<ClipboardEntry> trimmed = HistoryRepository::trim(recorded + QList{empty});
        QCOMPARE(trimmed.size(), 200);
        QCOMPARE(trimmed.first().title, u"new"_s);
    }

    // Loading runs on the worker; the first save makes every missing folder owner-only.
    void firstSaveCreatesOwnerOnlyFiles()
    {
        const QString directory = freshDirectory();
        Repository r(directory);
        HistoryRepository::LoadResult loaded = load(r.repository);
        QVERIFY(!loaded.error && loaded.entries.isEmpty());
        QVERIFY(!QFileInfo::exists(QFileInfo(directory).path()));

        const QList<ClipboardEntry> entries{makeEntry(u"b"_s, 2), makeEntry(u"a"_s, 1)};
        int completions = 0;
        r.repository.save(entries, [&](std::optional<HistoryRepository::Error> error) {
            QVERIFY(!error);
            ++completions;
        });
        QVERIFY(r.delay->fire());
        QTRY_COMPARE(completions, 1);
        QVERIFY(ownerOnly(directory) && ownerOnly(QFileInfo(directory).path()));
        QVERIFY(ownerOnly(r.repository.filePath()));
        QCOMPARE(load(r.repository).entries, entries);
        // A folder opened up since is restricted again.
        QVERIFY(QFile::setPermissions(directory, QFileDevice::Permissions(0x7755)));
        QVERIFY(!HistoryRepository::write(directory, entries));
        QVERIFY(ownerOnly(directory));
    }

    // Saves wait for a pause in the copies, but never longer than the longest wait.
    void savesAreDebounced_data()
    {
        QTest::addColumn<int>("saves");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<QList<int>>("written");
        QTest::newRow("a burst is written once, with the last list") << 3 << 0 << QList<int>{3};
        QTest::newRow("a copy every 0.3 s for 6 s is written every 2 s")
            << 20 << 300 << QList<int>{7, 14, 20};
    }

    void savesAreDebounced()
    {
        QFETCH(int, saves);
        QFETCH(int, gapMs);
        QFETCH(QList<int>, written);
        const QString directory = freshDirectory();
        Repository r(directory);
        QList<int> completed;
        for (int i = 1; i <= saves; ++i) {
            r.repository.save(
                {makeEntry(u"save %1"_s.arg(i), i)},
                [&completed, i](std::optional<HistoryRepository::Error>) { completed.append(i); });
            r.delay->advance(std::chrono::milliseconds(gapMs));
        }
        r.delay->advance(HistoryRepository::saveDelay);
        QTRY_COMPARE(completed, written);
        QCOMPARE(titles(HistoryRepository::read(directory).entries), u"save %1"_s.arg(saves));
    }

    void flushSupersedesASave_data()
    {
        QTest::addColumn<bool>("timerFired");
        QTest::newRow("save still waiting") << false;
        QTest::newRow("save already queued for the worker") << true;
    }

    void flushSupersedesASave()
    {
        QFETCH(bool, timerFired);
        const QString directory = freshDirectory();
        Repository r(directory);
        bool saveCompleted = false;
        r.repository.save({makeEntry(u"saved"_s, 1)}, [&](auto) { saveCompleted = true; });
        if (timerFired)
            QVERIFY(r.delay->fire());
        QVERIFY(!r.repository.flush({makeEntry(u"flushed"_s, 2)}));
        QVERIFY(!r.delay->fire());
        // A save the worker had already begun has posted its completion by now.
        QCoreApplication::sendPostedEvents();
        QVERIFY(!saveCompleted);
        QCOMPARE(titles(HistoryRepository::read(directory).entries), u"flushed"_s);
    }

    void loadingRemovesOnlyOurUnfinishedWrites()
    {
        const QString directory = freshDirectory();
        QVERIFY(QDir().mkpath(directory + u"/history.plist.Folder"_s));
        QStringList others{u"history.plist.abc12"_s, u"history.plist.bak"_s, u"history.plist.aBcD123"_s,
                           u"notes.plist.aBcD12"_s, u"history.plist"_s};
        for (const QString& name : others + QStringList{u"history.plist.aBcD12"_s, u"history.plist.QWERTY"_s})
            writeFile(directory + u'/' + name, ArchiveCodec::encode({}));
        HistoryRepository repository(directory);
        QVERIFY(!load(repository).error);
        others << u"history.plist.Folder"_s;
        others.sort();
        QCOMPARE(QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name), others);
    }

    // The cause goes to the log, never to the user, and the file stays as it was.
    void unreadableArchives_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<qint64>("sparseSize");
        QTest::addColumn<Code>("code");
        QTest::addColumn<QString>("detail");

        QByteArray versionTwo = ArchiveCodec::encode({makeEntry(u"x"_s, 1)});
        // The encoder writes version 1 as the one-byte integer 0x10 0x01 right after the key.
        versionTwo[versionTwo.indexOf(QByteArray("\x10\x01", 2)) + 1] = 2;
        const qint64 limit = HistoryRepository::maxArchiveBytes;
        QTest::newRow("version 2") << versionTwo << 0LL << Code::unsupportedVersion << u"version 2"_s;
        QTest::newRow("garbage") << QByteArray("not a property list") << 0LL << Code::archiveDamaged
                                 << u"bplist00"_s;
        QTest::newRow("one byte over the size limit")
            << QByteArray() << limit + 1 << Code::archiveTooLarge << u"has %1 bytes"_s.arg(limit + 1);
    }

    void unreadableArchives()
    {
        QFETCH(QByteArray, archive);
        QFETCH(qint64, sparseSize);
        QFETCH(Code, code);
        QFETCH(QString, detail);
        const QString directory = freshDirectory();
        QVERIFY(QDir().mkpath(directory));
        const QString path = directory + u"/history.plist"_s;
        writeFile(path, archive);
        if (sparseSize)
            QVERIFY(QFile::resize(path, sparseSize)); // costs no disk

        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QRegularExpression::escape(path) + u".*"_s + detail));
        const HistoryRepository::LoadResult result = HistoryRepository::read(directory);
        QVERIFY(result.error);
        QCOMPARE(result.error->code, std::optional(code));
        const QString shown = result.error->localizedDescription();
        QVERIFY2(!shown.contains(detail) && !shown.contains(path), qPrintable(shown));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(sparseSize ? file.size() : 0, sparseSize);
        if (!sparseSize)
            QCOMPARE(file.readAll(), archive);
    }

    // 200 entries of 320 KB of text, one accented letter each: the archive stores the data and the
    // plain text as UTF-16, three times the 64 MiB of data, and must still be read back.
    void aFullHistoryOfTextIsReadBack()
    {
        QList<ClipboardEntry> entries;
        for (int i = 0; i < HistoryRepository::maxEntries; ++i) {
            QString text(HistoryRepository::maxTotalBytes / HistoryRepository::maxEntries - 8, u'a');
            text.replace(0, 6, u"é%1"_s.arg(i, 4, 10, QChar(u'0')));
            ClipboardEntry entry = makeEntry(text.left(160), i);
            entry.plainText = text;
            entry.items = {{{{PasteboardType::plainText, text.toUtf8()}}}};
            entries.prepend(refreshed(entry));
        }
        QCOMPARE(HistoryRepository::trim(entries).size(), HistoryRepository::maxEntries);
        const QString directory = freshDirectory();
        QVERIFY(!HistoryRepository::write(directory, entries));
        const HistoryRepository::LoadResult loaded = HistoryRepository::read(directory);
        QVERIFY(!loaded.error);
        QCOMPARE(loaded.entries.size(), entries.size());
    }

    void impossiblePathsReportTheFileSystemsWord_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("a file where the folder must be") << u"Clipwell"_s;
        QTest::newRow("a folder where the history must be") << u"Clipwell/history.plist"_s;
    }

    void impossiblePathsReportTheFileSystemsWord()
    {
        QFETCH(QString, blocker);
        const QString directory = freshDirectory();
        const QString base = QFileInfo(directory).path();
        const bool folder = blocker.endsWith(u".plist"_s);
        QVERIFY(QDir().mkpath(folder ? base + u'/' + blocker : base));
        if (!folder)
            writeFile(base + u'/' + blocker, "in the way");

        const std::optional<HistoryRepository::Error> error =
            HistoryRepository::write(directory, {makeEntry(u"x"_s, 1)});
        QVERIFY(error && !error->code);
        QVERIFY2(error->message.contains(u"Clipwell"_s) || error->message.contains(base),
                 qPrintable(error->message));
        if (folder)
            QCOMPARE(HistoryRepository::read(directory).error->code, Code::notAFile);
    }

    // A disk that fills up takes the first part of a write and refuses the rest; the reason must
    // survive. A file-size limit makes the kernel do exactly that.
    void aShortWriteReportsItsCause()
    {
        const QString directory = freshDirectory();
        QVERIFY(!HistoryRepository::write(directory, {}));
        rlimit previous{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &previous);
            std::signal(SIGXFSZ, SIG_DFL);
        });
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, previous.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const auto error = HistoryRepository::write(directory, {makeEntry(u"big"_s, 1, MiB)});
        QVERIFY(error);
        QVERIFY2(error->localizedDescription().contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(error->localizedDescription()));
        QVERIFY(HistoryRepository::read(directory).entries.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHistoryRepository)
#include "tst_historyrepository.moc"
