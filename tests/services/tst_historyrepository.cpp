#include "l10n/Localization.h"
#include "services/ArchiveCodec.h"
#include "services/HistoryRepository.h"
#include "support/EntryBuilder.h"
#include "support/ManualDelayTimer.h"

#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

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
    const QFileDevice::Permissions others(0x0077);
    return (permissions & others) == QFileDevice::Permissions() &&
           permissions.testFlag(QFileDevice::ReadOwner) && permissions.testFlag(QFileDevice::WriteOwner);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

struct Row {
    const char* title;
    double time;
    qint64 extraMiB;
    int sameAs; // index of an earlier row whose id (>= 0) or key (<= -2, as -2 - index) it shares; -1 none
};
Q_DECLARE_METATYPE(QList<Row>)
Q_DECLARE_METATYPE(Row)
Q_DECLARE_METATYPE(HistoryRepository::RepositoryError)

class TestHistoryRepository : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    int m_dirCount = 0;

    QString freshDirectory() { return m_root.filePath(QStringLiteral("d%1/Clipwell").arg(++m_dirCount)); }

    static QList<ClipboardEntry> build(const QList<Row>& rows)
    {
        QList<ClipboardEntry> entries;
        for (const Row& row : rows) {
            ClipboardEntry entry = makeEntry(QString::fromUtf8(row.title), row.time, row.extraMiB * MiB);
            if (row.sameAs >= 0) {
                entry.id = entries[row.sameAs].id;
            } else if (row.sameAs <= -2) {
                // Same source and content as the earlier entry: the same key, a different id.
                const ClipboardEntry& earlier = entries[-2 - row.sameAs];
                entry.items = earlier.items;
                entry.fingerprint = earlier.fingerprint;
                entry.deduplicationKey = earlier.deduplicationKey;
            }
            entries.append(entry);
        }
        return entries;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void trim_data()
    {
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<QString>("expected");

        QTest::newRow("oldest first becomes newest first")
            << QList<Row>{{"a", 1, 0, -1}, {"b", 2, 0, -1}, {"c", 3, 0, -1}} << QStringLiteral("c b a");
        QTest::newRow("equal times keep file order")
            << QList<Row>{{"a", 5, 0, -1}, {"b", 5, 0, -1}, {"c", 9, 0, -1}} << QStringLiteral("c a b");
        QTest::newRow("same id: the later copy stays")
            << QList<Row>{{"old", 1, 0, -1}, {"new", 2, 0, 0}} << QStringLiteral("new");
        QTest::newRow("same key: the later copy stays")
            << QList<Row>{{"old", 1, 0, -1}, {"new", 2, 0, -2}} << QStringLiteral("new");
        QTest::newRow("same key and time: the first in the file stays")
            << QList<Row>{{"first", 3, 0, -1}, {"second", 3, 0, -2}} << QStringLiteral("first");
        QTest::newRow("over 12 MiB is dropped")
            << QList<Row>{{"big", 2, 13, -1}, {"small", 1, 0, -1}} << QStringLiteral("small");
        QTest::newRow("64 MiB in all, a smaller later entry still fits")
            << QList<Row>{{"1", 7, 11, -1}, {"2", 6, 11, -1}, {"3", 5, 11, -1}, {"4", 4, 11, -1},
                          {"5", 3, 11, -1}, {"6", 2, 11, -1}, {"7", 1, 1, -1}}
            << QStringLiteral("1 2 3 4 5 7");
    }

    void trim()
    {
        QFETCH(QList<Row>, rows);
        QFETCH(QString, expected);
        QCOMPARE(titles(HistoryRepository::trim(build(rows))), expected);
    }

    void trimKeepsTwoHundredAndDropsEmptyEntries()
    {
        QList<ClipboardEntry> entries;
        ClipboardEntry empty = makeEntry(QStringLiteral("empty"), 1000);
        empty.items.clear();
        entries.append(empty);
        for (int i = 0; i < 201; ++i)
            entries.append(makeEntry(QString::number(i), i));
        const QList<ClipboardEntry> trimmed = HistoryRepository::trim(entries);
        QCOMPARE(trimmed.size(), 200);
        QCOMPARE(trimmed.first().title, QStringLiteral("200"));
        QCOMPARE(trimmed.last().title, QStringLiteral("1"));
    }

    void recording_data()
    {
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<Row>("recorded");
        QTest::addColumn<QString>("expected");

        const QList<Row> three{{"c", 30, 0, -1}, {"b", 20, 0, -1}, {"a", 10, 0, -1}};
        QTest::newRow("a new copy goes in front")
            << three << Row{"n", 40, 0, -1} << QStringLiteral("n c b a");
        QTest::newRow("the clock stepped back") << three << Row{"n", 15, 0, -1} << QStringLiteral("c b n a");
        QTest::newRow("equal time goes before") << three << Row{"n", 20, 0, -1} << QStringLiteral("c n b a");
        QTest::newRow("an oversized copy is not kept")
            << three << Row{"n", 40, 13, -1} << QStringLiteral("c b a");
        QTest::newRow("a big copy pushes out what no longer fits")
            << QList<Row>{{"c", 30, 11, -1}, {"b", 20, 11, -1}, {"a", 10, 11, -1},
                          {"z", 5, 11, -1},  {"y", 4, 11, -1},  {"x", 3, 1, -1}}
            << Row{"n", 40, 11, -1} << QStringLiteral("n c b a z x");
    }

    void recording()
    {
        QFETCH(QList<Row>, rows);
        QFETCH(Row, recorded);
        QFETCH(QString, expected);
        const ClipboardEntry entry =
            makeEntry(QString::fromUtf8(recorded.title), recorded.time, recorded.extraMiB * MiB);
        QCOMPARE(titles(HistoryRepository::recording(entry, build(rows))), expected);
    }

    void recordingAgainMovesTheExistingEntry()
    {
        QList<ClipboardEntry> entries;
        for (int i = 0; i < 5; ++i)
            entries.append(makeEntry(QStringLiteral("e%1").arg(i), 100 - i));
        ClipboardEntry again = makeEntry(QStringLiteral("e2"), 500);
        const QList<ClipboardEntry> result = HistoryRepository::recording(again, entries);
        QCOMPARE(result.size(), 5);
        QCOMPARE(result.first().id, entries[2].id);
        QCOMPARE(result.first().capturedAt, entries[2].capturedAt);
        QCOMPARE(result.first().lastCopiedAt, Timestamp{500});
    }

    void recordingTheTwoHundredAndFirstDropsTheOldest()
    {
        QList<ClipboardEntry> entries;
        for (int i = 0; i < 200; ++i)
            entries.append(makeEntry(QString::number(i), 1000 - i));
        const QList<ClipboardEntry> result =
            HistoryRepository::recording(makeEntry(QStringLiteral("new"), 2000), entries);
        QCOMPARE(result.size(), 200);
        QCOMPARE(result.first().title, QStringLiteral("new"));
        QCOMPARE(result.last().title, QStringLiteral("198"));
    }

    void firstSaveCreatesOwnerOnlyFiles()
    {
        const QString directory = freshDirectory();
        auto timer = std::make_unique<ManualDelayTimer>();
        ManualDelayTimer* delay = timer.get();
        HistoryRepository repository(directory, std::move(timer));

        std::optional<HistoryRepository::LoadResult> loaded;
        repository.load([&](HistoryRepository::LoadResult result) { loaded = std::move(result); });
        QTRY_VERIFY(loaded.has_value());
        QVERIFY(!loaded->error);
        QVERIFY(loaded->entries.isEmpty());
        QVERIFY(!QFileInfo::exists(QFileInfo(directory).path()));

        const QList<ClipboardEntry> entries{makeEntry(QStringLiteral("b"), 2),
                                            makeEntry(QStringLiteral("a"), 1)};
        int completions = 0;
        repository.save(entries, [&](std::optional<HistoryRepository::Error> error) {
            QVERIFY(!error);
            ++completions;
        });
        QCOMPARE(delay->delay(), HistoryRepository::saveDelay);
        QVERIFY(delay->fire());
        QTRY_COMPARE(completions, 1);

        QVERIFY(ownerOnly(directory));
        QVERIFY(ownerOnly(QFileInfo(directory).path()));
        QVERIFY(ownerOnly(repository.filePath()));

        loaded.reset();
        repository.load([&](HistoryRepository::LoadResult result) { loaded = std::move(result); });
        QTRY_VERIFY(loaded.has_value());
        QCOMPARE(loaded->entries, entries);
    }

    void writeRestrictsAnOpenFolder()
    {
        const QString directory = freshDirectory();
        QVERIFY(QDir().mkpath(directory));
        QVERIFY(QFile::setPermissions(directory, QFileDevice::Permissions(0x7755)));
        QVERIFY(!HistoryRepository::write(directory, {makeEntry(QStringLiteral("x"), 1)}));
        QVERIFY(ownerOnly(directory));
    }

    void aBurstOfSavesWritesOnceWithTheLastList()
    {
        const QString directory = freshDirectory();
        auto timer = std::make_unique<ManualDelayTimer>();
        ManualDelayTimer* delay = timer.get();
        HistoryRepository repository(directory, std::move(timer));

        QList<int> completed;
        for (int i = 1; i <= 3; ++i)
            repository.save(
                {makeEntry(QStringLiteral("save %1").arg(i), i)},
                [&completed, i](std::optional<HistoryRepository::Error>) { completed.append(i); });
        QCOMPARE(delay->starts(), 3);
        QVERIFY(delay->fire());
        QVERIFY(!delay->fire());
        QTRY_COMPARE(completed, QList<int>{3});
        QCOMPARE(titles(HistoryRepository::read(directory).entries), QStringLiteral("save 3"));
    }

    void aLongStreamIsSavedEveryTwoSeconds()
    {
        const QString directory = freshDirectory();
        auto timer = std::make_unique<ManualDelayTimer>();
        ManualDelayTimer* delay = timer.get();
        HistoryRepository repository(directory, std::move(timer));

        // A copy every 0.3 s for 6 s, then quiet.
        QList<int> written;
        for (int i = 1; i <= 20; ++i) {
            repository.save({makeEntry(QStringLiteral("save %1").arg(i), i)},
                            [&written, i](std::optional<HistoryRepository::Error>) { written.append(i); });
            delay->advance(std::chrono::milliseconds(300));
        }
        delay->advance(HistoryRepository::saveDelay);
        QTRY_COMPARE(written, (QList<int>{7, 14, 20}));
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
        auto timer = std::make_unique<ManualDelayTimer>();
        ManualDelayTimer* delay = timer.get();
        HistoryRepository repository(directory, std::move(timer));

        bool saveCompleted = false;
        repository.save({makeEntry(QStringLiteral("saved"), 1)},
                        [&](std::optional<HistoryRepository::Error>) { saveCompleted = true; });
        if (timerFired)
            QVERIFY(delay->fire());
        QVERIFY(!repository.flush({makeEntry(QStringLiteral("flushed"), 2)}));
        QVERIFY(!delay->fire());
        // A save the worker had already begun has posted its completion by now.
        QCoreApplication::sendPostedEvents();
        QVERIFY(!saveCompleted);
        QCOMPARE(titles(HistoryRepository::read(directory).entries), QStringLiteral("flushed"));
    }

    void loadingRemovesOnlyOurUnfinishedWrites()
    {
        const QString directory = freshDirectory();
        QVERIFY(QDir().mkpath(directory));
        const QStringList leftovers{u"history.plist.aBcD12"_s, u"history.plist.QWERTY"_s};
        const QStringList others{u"history.plist.abc12"_s, u"history.plist.bak"_s, u"history.plist.aBcD123"_s,
                                 u"notes.plist.aBcD12"_s, u"history.plist"_s};
        for (const QString& name : leftovers + others)
            writeFile(directory + u'/' + name, ArchiveCodec::encode({}));
        QVERIFY(QDir().mkpath(directory + u"/history.plist.Folder"_s));

        HistoryRepository repository(directory);
        std::optional<HistoryRepository::LoadResult> loaded;
        repository.load([&](HistoryRepository::LoadResult result) { loaded = std::move(result); });
        QTRY_VERIFY(loaded.has_value());
        QVERIFY(!loaded->error);
        QStringList expected = others + QStringList{u"history.plist.Folder"_s};
        expected.sort();
        QCOMPARE(QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name), expected);
    }

    void failuresLeaveTheArchiveUntouched_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<HistoryRepository::RepositoryError>("code");
        QTest::addColumn<QString>("detail"); // for the log, never for the user

        QByteArray versionTwo = ArchiveCodec::encode({makeEntry(QStringLiteral("x"), 1)});
        // The encoder writes version 1 as the one-byte integer 0x10 0x01 right after the key.
        const qsizetype at = versionTwo.indexOf(QByteArray("\x10\x01", 2));
        QVERIFY(at > 0);
        versionTwo[at + 1] = 2;
        using Code = HistoryRepository::RepositoryError;
        QTest::newRow("version 2") << versionTwo << Code::unsupportedVersion << u"version 2"_s;
        QTest::newRow("garbage") << QByteArray("not a property list at all") << Code::archiveDamaged
                                 << u"bplist00"_s;
        QTest::newRow("truncated") << ArchiveCodec::encode({makeEntry(QStringLiteral("x"), 1)}).chopped(9)
                                   << Code::archiveDamaged << u"trailer"_s;
    }

    void failuresLeaveTheArchiveUntouched()
    {
        QFETCH(QByteArray, archive);
        QFETCH(HistoryRepository::RepositoryError, code);
        QFETCH(QString, detail);
        const QString directory = freshDirectory();
        QVERIFY(QDir().mkpath(directory));
        const QString path = directory + QStringLiteral("/history.plist");
        writeFile(path, archive);

        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QRegularExpression::escape(path) + u".*"_s + detail));
        const HistoryRepository::LoadResult result = HistoryRepository::read(directory);
        QVERIFY(result.error);
        QCOMPARE(result.error->code, std::optional(code));
        for (const AppLanguage language : {AppLanguage::english, AppLanguage::traditionalChinese}) {
            AppLocalization::shared().select(language);
            const QString shown = result.error->localizedDescription();
            QVERIFY2(!shown.contains(detail) && !shown.contains(path), qPrintable(shown));
        }
        AppLocalization::shared().select(AppLanguage::english);
        QCOMPARE(contents(path), archive);
    }

    void archiveSizeLimit_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("tooLarge");
        QTest::newRow("one byte over") << HistoryRepository::maxArchiveBytes + 1 << true;
        QTest::newRow("exactly the limit is read") << HistoryRepository::maxArchiveBytes << false;
    }

    void archiveSizeLimit()
    {
        QFETCH(qint64, size);
        QFETCH(bool, tooLarge);
        const QString directory = freshDirectory();
        QVERIFY(QDir().mkpath(directory));
        QFile file(directory + QStringLiteral("/history.plist"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size)); // sparse: costs no disk
        file.close();
        const HistoryRepository::LoadResult result = HistoryRepository::read(directory);
        QVERIFY(result.error);
        QCOMPARE(result.error->code == HistoryRepository::RepositoryError::archiveTooLarge, tooLarge);
        QCOMPARE(QFileInfo(file.fileName()).size(), size);
    }

    void aFullHistoryOfTextIsReadBack()
    {
        // 200 entries of 320 KB of text, one accented letter each: the archive stores the data and
        // the plain text as UTF-16, three times the 64 MiB of data.
        QList<ClipboardEntry> entries;
        for (int i = 0; i < HistoryRepository::maxEntries; ++i) {
            QString text(HistoryRepository::maxTotalBytes / HistoryRepository::maxEntries - 8, u'a');
            text.replace(0, 6, QStringLiteral("é%1").arg(i, 4, 10, QChar(u'0')));
            ClipboardEntry entry = makeEntry(text.left(160), i);
            entry.plainText = text;
            entry.items = {{{{PasteboardType::plainText, text.toUtf8()}}}};
            entry.fingerprint = ClipboardEntry::fingerprintOf(entry.items);
            entry.deduplicationKey =
                ClipboardEntry::makeDeduplicationKey(entry.sourceName, std::nullopt, entry.fingerprint);
            entries.prepend(entry);
        }
        entries = HistoryRepository::trim(entries);
        QCOMPARE(entries.size(), HistoryRepository::maxEntries);
        const QString directory = freshDirectory();
        QVERIFY(!HistoryRepository::write(directory, entries));
        QVERIFY(QFileInfo(directory + QStringLiteral("/history.plist")).size() >
                2 * HistoryRepository::maxTotalBytes);
        const HistoryRepository::LoadResult loaded = HistoryRepository::read(directory);
        QVERIFY(!loaded.error);
        QCOMPARE(loaded.entries.size(), entries.size());
    }

    void impossiblePathsReportTheFileSystemsWord_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("a file where the folder must be") << QStringLiteral("Clipwell");
        QTest::newRow("a file where a parent folder must be") << QString();
        QTest::newRow("a folder where the history must be") << QStringLiteral("Clipwell/history.plist");
    }

    void impossiblePathsReportTheFileSystemsWord()
    {
        QFETCH(QString, blocker);
        const QString directory = freshDirectory();
        const QString base = QFileInfo(directory).path();
        if (blocker.endsWith(QStringLiteral(".plist"))) {
            QVERIFY(QDir().mkpath(base + u'/' + blocker));
        } else if (blocker.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(base).path()));
            writeFile(base, "in the way");
        } else {
            QVERIFY(QDir().mkpath(base));
            writeFile(base + u'/' + blocker, "in the way");
        }

        const std::optional<HistoryRepository::Error> error =
            HistoryRepository::write(directory, {makeEntry(QStringLiteral("x"), 1)});
        QVERIFY(error);
        QVERIFY(!error->code);
        QVERIFY2(error->message.contains(QStringLiteral("Clipwell")) || error->message.contains(base),
                 qPrintable(error->message));
        if (blocker.endsWith(QStringLiteral(".plist")))
            QCOMPARE(HistoryRepository::read(directory).error->code,
                     HistoryRepository::RepositoryError::notAFile);
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
        const std::optional<HistoryRepository::Error> error =
            HistoryRepository::write(directory, {makeEntry(u"big"_s, 1, MiB)});
        QVERIFY(error);
        QVERIFY2(error->localizedDescription().contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(error->localizedDescription()));
        QVERIFY(HistoryRepository::read(directory).entries.isEmpty());
    }

    // The kernel refuses new folders in /sys, to root as well (EPERM, EROFS or EACCES): the user
    // reads the cause in the interface language, not the system's English.
    void aRefusedFolderIsExplainedInTheUsersLanguage()
    {
        const QString refused = u"/sys/clipwell-test-%1"_s.arg(QCoreApplication::applicationPid());
        const std::optional<HistoryRepository::Error> error =
            HistoryRepository::write(refused + u"/Clipwell"_s, {makeEntry(u"x"_s, 1)});
        QVERIFY(error);
        QVERIFY(error->code == HistoryRepository::RepositoryError::permissionDenied ||
                error->code == HistoryRepository::RepositoryError::readOnly);
        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        const QString shown = error->localizedDescription();
        AppLocalization::shared().select(AppLanguage::english);
        QVERIFY2(shown.contains(refused) && shown.contains(u"权限"_s) != shown.contains(u"只读"_s),
                 qPrintable(shown));
    }
};

QTEST_GUILESS_MAIN(TestHistoryRepository)
#include "tst_historyrepository.moc"
