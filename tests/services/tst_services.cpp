#include "l10n/Localization.h"
#include "models/PasteboardType.h"
#include "services/ArchiveCodec.h"
#include "services/ChordReleaseWait.h"
#include "services/ClipboardMonitor.h"
#include "services/GlobalShortcutMonitor.h"
#include "services/HistoryRepository.h"
#include "services/PasteTarget.h"
#include "support/EntryBuilder.h"
#include "support/FakeEventTap.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "support/TestColumns.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtEndian>
#include <bit>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <utility>

using namespace Qt::StringLiterals;

using Code = HistoryRepository::RepositoryError;
using Entries = QList<ClipboardEntry>;
using FakeItems = QList<FakePasteboard::Item>;
using Items = QList<PasteboardItemSnapshot>;
using OptionalString = std::optional<QString>;
using OptionalApplication = std::optional<RunningApplication>;
using OptionalError = std::optional<ClipboardMonitor::ClipboardError>;

Q_DECLARE_METATYPE(Code)
Q_DECLARE_METATYPE(Entries)
Q_DECLARE_METATYPE(FakeItems)
Q_DECLARE_METATYPE(Items)
Q_DECLARE_METATYPE(OptionalError)

namespace {

constexpr qint64 MiB = 1024 * 1024;

// ---- The archive codec, checked against Python's plistlib

using ArchiveCodec::Archive;
using ArchiveCodec::DecodingError;

PasteboardItemSnapshot item(QList<PasteboardRepresentation> representations)
{
    return PasteboardItemSnapshot{std::move(representations)};
}

// An entry with every field set; rows take away or change what they test.
ClipboardEntry sample(int n = 0, const std::function<void(ClipboardEntry&)>& change = {})
{
    ClipboardEntry entry;
    entry.id = QUuid::fromString(u"6f1c2a3b-4d5e-4f60-8a7b-%1"_s.arg(n, 12, 10, QChar(u'0')));
    entry.capturedAt = Timestamp{700000000.25 + n};
    entry.lastCopiedAt = Timestamp{700000100.5 + n};
    entry.sourceName = u"Editor"_s;
    entry.kind = ClipboardKind::text;
    entry.title = u"Hello %1"_s.arg(n);
    entry.plainText = u"Hello %1\nworld"_s.arg(n);
    entry.items = {item({{PasteboardType::plainText, "Hello"}, {PasteboardType::html, "<b>Hello</b>"}})};
    entry.sourceBundleIdentifier = u"org.example.editor"_s;
    if (change)
        change(entry);
    return refreshed(entry);
}

// One entry whose data puts the offset table exactly at `tableOffset`, the first size whose offsets
// need a wider width than the size before.
Entries tableAt(qsizetype tableOffset)
{
    ClipboardEntry entry = sample(0, [](ClipboardEntry& e) {
        e.sourceName.clear(), e.title.clear(), e.plainText.reset(), e.sourceBundleIdentifier.reset();
    });
    entry.fingerprint.clear(); // small enough for a table at 256
    entry.deduplicationKey = ClipboardEntry::makeDeduplicationKey({}, {}, {});
    qsizetype size = 0;
    for (int tries = 0; tries < 8; ++tries) {
        entry.items = {item({{PasteboardType::png, QByteArray(size, 'd')}})};
        const QByteArray file = ArchiveCodec::encode({entry});
        const auto at = qsizetype(qFromBigEndian<quint64>(file.constData() + file.size() - 8));
        if (at == tableOffset)
            return {entry};
        size = std::max<qsizetype>(0, size + tableOffset - at);
    }
    qFatal("No entry puts the offset table at %lld", qlonglong(tableOffset));
}

// Python's plistlib as the independent oracle, one process for the whole run: starting one per request
// would dominate the test's time.
class Plistlib {
public:
    ~Plistlib()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished();
    }
    QByteArray write(const QJsonObject& value, const QStringList& options = {})
    {
        const QJsonArray list = QJsonArray::fromStringList(options);
        const QJsonValue file =
            request({{u"command"_s, u"write"_s}, {u"value"_s, value}, {u"options"_s, list}});
        return QByteArray::fromBase64(file[u"file"_s].toString().toLatin1());
    }
    QJsonObject describe(const QByteArray& file)
    {
        const QString base64 = QString::fromLatin1(file.toBase64());
        return request({{u"command"_s, u"describe"_s}, {u"file"_s, base64}})[u"value"_s].toObject();
    }

private:
    QJsonObject request(const QJsonObject& request)
    {
        if (m_process.state() == QProcess::NotRunning) {
            m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            m_process.start(QStringLiteral(PYTHON3_EXECUTABLE), {QStringLiteral(PLIST_ORACLE)});
        }
        m_process.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
        while (!m_process.canReadLine() && m_process.waitForReadyRead(60000))
            ;
        const QJsonObject reply = QJsonDocument::fromJson(m_process.readLine()).object();
        if (reply.isEmpty() || reply.contains(u"error"_s))
            qWarning().noquote() << "plistlib:" << reply[u"error"_s].toString() << m_process.errorString();
        return reply;
    }
    QProcess m_process;
};

// The decoding error, empty when the file decoded.
QString failure(const std::variant<Archive, DecodingError>& decoded)
{
    const auto* error = std::get_if<DecodingError>(&decoded);
    return error ? error->description : QString();
}

qint64 microseconds(Timestamp timestamp)
{
    return std::llround(timestamp.secondsSinceReferenceDate * 1e6);
}

// The archive as plist_oracle.py describes property lists.
QJsonObject describe(const Entries& entries)
{
    const auto date = [](Timestamp t) { return QJsonObject{{u"$date"_s, microseconds(t)}}; };
    QJsonArray list;
    for (const ClipboardEntry& entry : entries) {
        QJsonArray items;
        for (const PasteboardItemSnapshot& item : entry.items) {
            QJsonArray representations;
            for (const PasteboardRepresentation& representation : item.representations) {
                const QJsonObject data{{u"$data"_s, QString::fromLatin1(representation.data.toBase64())}};
                representations.append(QJsonObject{{u"type"_s, representation.type}, {u"data"_s, data}});
            }
            items.append(QJsonObject{{u"representations"_s, representations}});
        }
        QJsonObject object{
            {u"id"_s, entry.id.toString(QUuid::WithoutBraces).toUpper()},
            {u"capturedAt"_s, date(entry.capturedAt)},
            {u"lastCopiedAt"_s, date(entry.lastCopiedAt)},
            {u"sourceName"_s, entry.sourceName},
            {u"kind"_s, ClipboardKinds::rawValue(entry.kind)},
            {u"title"_s, entry.title},
            {u"items"_s, items},
            {u"fingerprint"_s, entry.fingerprint},
        };
        if (entry.plainText)
            object.insert(u"plainText"_s, *entry.plainText);
        if (entry.sourceBundleIdentifier)
            object.insert(u"sourceBundleIdentifier"_s, *entry.sourceBundleIdentifier);
        list.append(object);
    }
    return QJsonObject{{u"version"_s, 1}, {u"entries"_s, list}};
}

// The value at a path such as "entries/0/kind" replaced, or removed when undefined.
QJsonValue patched(const QJsonValue& node, const QString& path, const QJsonValue& value)
{
    const QString key = path.section(u'/', 0, 0), rest = path.section(u'/', 1);
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        array[key.toInt()] = rest.isEmpty() ? value : patched(array[key.toInt()], rest, value);
        return array;
    }
    QJsonObject object = node.toObject();
    object.insert(key, rest.isEmpty() ? value : patched(object[key], rest, value));
    return object;
}

QJsonObject sampleWith(const QString& path, const QJsonValue& value)
{
    return patched(describe({sample()}), path, value).toObject();
}

// Files plistlib never writes: the fuzzer's corpus, and our own encoding with bytes changed.
QByteArray corpus(const char* name)
{
    QFile file(QStringLiteral(FUZZ_CORPUS "/%1.plist").arg(QLatin1StringView(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

QByteArray changed(QByteArray file, qsizetype at, const QByteArray& bytes)
{
    return at < 0 ? QByteArray() : file.replace(at, bytes.size(), bytes);
}

QByteArray bigEndian(quint64 value)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

// ---- The history repository

// Titles of the entries, newest first: the readable shape of a history in failure messages.
QString titles(const Entries& entries)
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

// Entries from "title@time", newest or oldest first as written; "+N" makes N MiB of data in all, "=i"
// takes the id and "~i" the content (so the key, not the id) of the i-th entry, and "!" leaves no data.
Entries build(const QString& description)
{
    static const QRegularExpression token(u"(\\w+)@(\\d+)(?:\\+(\\d+))?(?:([=~])(\\d+))?(!)?"_s);
    Entries entries;
    for (const QString& part : description.split(u' ')) {
        const QRegularExpressionMatch m = token.match(part);
        const qint64 bytes = m.captured(3).toInt() * MiB;
        const QString title = m.captured(1);
        ClipboardEntry entry =
            makeEntry(title, m.captured(2).toInt(), bytes ? bytes - title.toUtf8().size() : 0);
        if (m.hasCaptured(4)) {
            const ClipboardEntry& earlier = entries[m.captured(5).toInt()];
            if (m.captured(4) == u"="_s)
                entry.id = earlier.id;
            else
                entry.items = earlier.items;
        }
        if (m.hasCaptured(6))
            entry.items.clear();
        entries.append(refreshed(entry));
    }
    return entries;
}

// ---- The clipboard monitor

const QString privateType = u"com.example.private"_s;

// An item listing the types in this order, each with its data.
FakePasteboard::Item makeItem(const QList<std::pair<QString, QByteArray>>& representations)
{
    FakePasteboard::Item item;
    for (const auto& [type, data] : representations) {
        item.types.append(type);
        item.data.insert(type, data);
    }
    return item;
}

struct Harness {
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    ClipboardMonitor monitor{pasteboard, workspace};
    Entries captured;
    QList<L10n::Key> notices;

    Harness()
    {
        monitor.onCapture = [this](const ClipboardEntry& entry) {
            captured.append(entry);
            return true;
        };
        monitor.onNotice = [this](L10n::Key key) { notices.append(key); };
    }
};

// ---- The quick paste chord

// Modifiers held: c Super, s Shift, t Control, o Alt, l Caps Lock; other letters are no modifier.
quint64 flags(QStringView held)
{
    static const QHash<QChar, quint64> bits{{u'c', TapEvent::commandFlag},
                                            {u's', TapEvent::shiftFlag},
                                            {u't', TapEvent::controlFlag},
                                            {u'o', TapEvent::optionFlag},
                                            {u'l', TapEvent::capsLockFlag}};
    quint64 result = 0;
    for (const QChar key : held)
        result |= bits.value(key);
    return result;
}

// d/u key down/up of V, Z, E(scape) or K (another key); f flags changed; L, R, O left, right, other
// mouse down; S a scroll; then * autorepeat, ! our own marker, @ at 120,130 (else 20,30), and after +
// the modifiers held.
TapEvent tapEvent(const QString& token)
{
    static const QHash<QChar, TapEvent::Type> types{
        {u'd', TapEvent::keyDown},       {u'u', TapEvent::keyUp},          {u'f', TapEvent::flagsChanged},
        {u'L', TapEvent::leftMouseDown}, {u'R', TapEvent::rightMouseDown}, {u'O', TapEvent::otherMouseDown},
        {u'S', TapEvent::scrollWheel}};
    static const QHash<QChar, quint16> keys{
        {u'V', TapEvent::keyV}, {u'Z', TapEvent::keyZ}, {u'E', TapEvent::keyEscape}, {u'K', 40}};
    TapEvent event;
    event.type = types.value(token[0]);
    event.keyCode = token.size() > 1 ? keys.value(token[1]) : 0;
    event.flags = flags(token.section(u'+', 1));
    event.autorepeat = token.contains(u'*');
    event.userData = token.contains(u'!') ? TapEvent::pasteEventMarker : 0;
    event.location = token.contains(u'@') ? QPointF(120, 130) : QPointF(20, 30);
    event.lineDeltaAxis1 = 1;
    return event;
}

// A shortcut monitor on doubles that logs its callbacks and statuses as they are delivered.
struct Chord {
    FakeEventTap tap;
    FakeAccessibility accessibility;
    GlobalShortcutMonitor monitor{tap, accessibility};
    QStringList log;

    Chord()
    {
        monitor.canStart = [] { return true; };
        monitor.onStart = [this] { log << u"start"_s; };
        monitor.onCycle = [this](auto direction, bool repeat) {
            log << u"cycle(%1,%2)"_s.arg(int(direction)).arg(int(repeat));
        };
        monitor.onTriggerUp = [this](auto direction) { log << u"up(%1)"_s.arg(int(direction)); };
        monitor.onRelease = [this] { log << u"release"_s; };
        monitor.onCancel = [this] { log << u"cancel"_s; };
        monitor.onStatus = [this](QuickPasteStatus status) {
            log << QStringList{u"disabled"_s, u"needsPermission"_s, u"failed"_s, u"ready"_s}.value(
                int(status));
        };
    }
};

} // namespace

class TestServices : public QObject {
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
    Plistlib m_plistlib;

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    // A loaded history trimmed, or its last entry, a new copy, recorded into the others.
    void trimAndRecording_data()
    {
        addColumns<bool, QString, QString>("record", "entries", "expected");
        const auto row = [](bool record) {
            return [=](const char* name, const QString& entries, const QString& expected) {
                QTest::newRow(name) << record << entries << expected;
            };
        };
        const auto trim = row(false), record = row(true);
        trim("oldest first becomes newest first", u"a@1 b@2"_s, u"b a"_s);
        trim("equal times keep file order", u"a@5 b@5 c@9"_s, u"c a b"_s);
        trim("same id: the later copy stays", u"old@1 new@2=0"_s, u"new"_s);
        trim("same key: the later copy stays", u"old@1 new@2~0"_s, u"new"_s);
        trim("same key and time: the first in the file stays", u"first@3 second@3~0"_s, u"first"_s);
        trim("over 12 MiB is dropped", u"big@2+13 small@1"_s, u"small"_s);
        trim("without data is dropped", u"a@1 b@2!"_s, u"a"_s);
        trim("64 MiB in all, a smaller later entry still fits",
             u"1@7+11 2@6+11 3@5+11 4@4+11 5@3+11 6@2+11 7@1+1"_s, u"1 2 3 4 5 7"_s);
        const QString exactly64MiB = u"a@9+12 b@8+12 c@7+12 d@6+12 e@5+12 f@4+4 g@1"_s;
        trim("exactly 64 MiB is kept, one byte more is not", exactly64MiB, u"a b c d e f"_s);
        record("a copy one byte past 64 MiB is not kept", exactly64MiB, u"a b c d e f"_s);
        record("a new copy goes in front", u"c@30 b@20 a@10 n@40"_s, u"n c b a"_s);
        record("the clock stepped back", u"c@30 b@20 a@10 n@15"_s, u"c b n a"_s);
        record("equal time goes before", u"c@30 b@20 a@10 n@20"_s, u"c n b a"_s);
        record("an oversized copy is not kept", u"c@30 b@20 a@10 n@40+13"_s, u"c b a"_s);
        record("a copy without data is not kept", u"c@30 b@20 a@10 n@40!"_s, u"c b a"_s);
        record("a copy again moves the entry it repeats", u"c@30 b@20 a@10 n@40~1"_s, u"b c a"_s);
        record("a big copy pushes out what no longer fits",
               u"c@30+11 b@20+11 a@10+11 z@5+11 y@4+11 x@3+1 n@40+11"_s, u"n c b a z x"_s);
        QString full, kept;
        for (int i = 200; i > 0; --i)
            full += u"e%1@%1 "_s.arg(i), kept += i > 1 ? u" e%1"_s.arg(i) : QString();
        trim("at most 200 entries", full + u"n@999"_s, u"n"_s + kept);
        record("the 201st entry pushes out the oldest", full + u"n@999"_s, u"n"_s + kept);
    }

    void trimAndRecording()
    {
        QFETCH(bool, record);
        QFETCH(QString, entries);
        QFETCH(QString, expected);
        Entries history = build(entries);
        const ClipboardEntry recorded = record ? history.takeLast() : ClipboardEntry();
        const Entries result =
            record ? HistoryRepository::recording(recorded, history) : HistoryRepository::trim(history);
        QCOMPARE(titles(result), expected);
        if (record && recorded.deduplicationKey == history[1].deduplicationKey)
            QVERIFY(result.first().id == history[1].id && result.first().capturedAt == history[1].capturedAt);
    }

    // Loading runs on the worker; the first save makes every missing folder owner-only.
    void firstSaveCreatesOwnerOnlyFiles()
    {
        const QString directory = freshDirectory();
        Repository r(directory);
        HistoryRepository::LoadResult loaded = load(r.repository);
        QVERIFY(!loaded.error && loaded.entries.isEmpty());
        QVERIFY(!QFileInfo::exists(QFileInfo(directory).path()));

        const Entries entries{makeEntry(u"b"_s, 2), makeEntry(u"a"_s, 1)};
        QList<bool> failed;
        r.repository.save(entries, [&](auto error) { failed.append(error.has_value()); });
        QVERIFY(r.delay->fire());
        QTRY_COMPARE(failed, QList{false});
        QVERIFY(ownerOnly(directory) && ownerOnly(QFileInfo(directory).path()) &&
                ownerOnly(r.repository.filePath()));
        QCOMPARE(load(r.repository).entries, entries);
        // A folder opened up since is restricted again.
        QVERIFY(QFile::setPermissions(directory, QFileDevice::Permissions(0x7755)));
        QVERIFY(!HistoryRepository::write(directory, entries));
        QVERIFY(ownerOnly(directory));
    }

    // Saves wait for a pause in the copies, but never longer than the longest wait.
    void savesAreDebounced_data()
    {
        addColumns<int, int, QList<int>>("saves", "gapMs", "written");
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
            r.repository.save({makeEntry(u"save %1"_s.arg(i), i)},
                              [&completed, i](auto) { completed.append(i); });
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

    // A save that fails is tried again, less and less often, until the disk takes it; the user hears
    // of the failure once. A file where the folder must be stands for a full disk.
    void aFailedSaveIsRetried()
    {
        const QString directory = freshDirectory();
        QVERIFY(QDir().mkpath(QFileInfo(directory).path()));
        writeFile(directory, "in the way");
        Repository r(directory);
        QList<bool> failed;
        const auto save = [&] {
            r.repository.save({makeEntry(u"kept"_s, 1)},
                              [&](auto error) { failed.append(error.has_value()); });
            QVERIFY(r.delay->fire());
        };
        const auto nextRetry = [&] {
            return QTest::qWaitFor([&] { return r.delay->isActive(); }, 10000)
                       ? r.delay->delay().count() / 1000
                       : -1;
        };
        save();
        QList<qint64> delays;
        for (int attempt = 0; attempt < 7; ++attempt) {
            delays.append(nextRetry());
            QVERIFY(r.delay->fire());
        }
        QCOMPARE(delays, (QList<qint64>{2, 4, 8, 16, 32, 60, 60}));
        QCOMPARE(nextRetry(), 60);
        QVERIFY(QFile::remove(directory));
        QVERIFY(r.delay->fire());
        QTRY_COMPARE(titles(HistoryRepository::read(directory).entries), u"kept"_s);
        QCOMPARE(failed, QList{true});

        // The next failure starts over with a short wait.
        QVERIFY(QDir(directory).removeRecursively());
        writeFile(directory, "in the way");
        save();
        QCOMPARE(nextRetry(), 2);
        QCOMPARE(failed, (QList{true, true}));

        // A failure that a newer save overtook is not retried over it.
        r.repository.save({makeEntry(u"older"_s, 2)}, [&](auto error) { failed.append(error.has_value()); });
        QVERIFY(r.delay->fire());
        r.repository.save({makeEntry(u"newer"_s, 3)}, {});
        QTRY_COMPARE(failed.size(), 3);
        QVERIFY(QFile::remove(directory));
        QVERIFY(r.delay->fire());
        QTRY_COMPARE(titles(HistoryRepository::read(directory).entries), u"newer"_s);

        // A write that fails at quit is tried again too, for when the user stays.
        QVERIFY(QDir(directory).removeRecursively());
        writeFile(directory, "in the way");
        QVERIFY(r.repository.flush({makeEntry(u"at quit"_s, 4)}));
        QVERIFY(nextRetry() > 0);
        QVERIFY(QFile::remove(directory));
        QVERIFY(r.delay->fire());
        QTRY_COMPARE(titles(HistoryRepository::read(directory).entries), u"at quit"_s);
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
        addColumns<QByteArray, qint64, Code, QString>("archive", "sparseSize", "code", "detail");
        QByteArray versionTwo = ArchiveCodec::encode({makeEntry(u"x"_s, 1)});
        // The encoder writes version 1 as the one-byte integer 0x10 0x01 right after the key.
        versionTwo[versionTwo.indexOf(QByteArray("\x10\x01", 2)) + 1] = 2;
        const qint64 limit = HistoryRepository::maxArchiveBytes;
        QTest::newRow("version 2") << versionTwo << 0LL << Code::unsupportedVersion << u"version 2"_s;
        QTest::newRow("garbage") << QByteArray("not a property list") << 0LL << Code::archiveDamaged
                                 << u"bplist00"_s;
        QTest::newRow("one byte over the size limit")
            << QByteArray() << limit + 1 << Code::archiveTooLarge << u"has %1 bytes"_s.arg(limit + 1);
        QTest::newRow("exactly the size limit is read")
            << QByteArray() << limit << Code::archiveDamaged << u"bplist00"_s;
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
        QCOMPARE(QFileInfo(path).size(), sparseSize ? sparseSize : archive.size());
    }

    // 200 entries of 320 KB of text, one accented letter each: the archive stores the data and the
    // plain text as UTF-16, three times the 64 MiB of data, and must still be read back.
    void aFullHistoryOfTextIsReadBack()
    {
        Entries entries;
        for (int i = 0; i < HistoryRepository::maxEntries; ++i) {
            QString text(HistoryRepository::maxTotalBytes / HistoryRepository::maxEntries - 8, u'a');
            text.replace(0, 6, u"é%1"_s.arg(i, 4, 10, QChar(u'0')));
            entries.prepend(makeEntry(text, i));
            entries.first().title.truncate(160);
        }
        QCOMPARE(HistoryRepository::trim(entries).size(), HistoryRepository::maxEntries);
        const QString directory = freshDirectory();
        QVERIFY(!HistoryRepository::write(directory, entries));
        QCOMPARE(HistoryRepository::read(directory).entries.size(), entries.size());
    }

    void impossiblePathsAreExplained_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<QString>("shown"); // empty: the file system's own words
        QTest::newRow("a file where the folder must be") << u"Clipwell"_s << QString();
        QTest::newRow("a folder where the history must be") << u"Clipwell/history.plist"_s << QString();
        // /sys takes no new folders, not even from root.
        QTest::newRow("a folder the kernel refuses")
            << u"/sys"_s << L10n::format(L10n::Key::permissionDenied, u"/sys/Clipwell"_s);
    }

    void impossiblePathsAreExplained()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, shown);
        const bool refused = blocker.startsWith(u'/');
        const QString directory = refused ? blocker + u"/Clipwell"_s : freshDirectory();
        const QString base = QFileInfo(directory).path();
        const bool folder = blocker.endsWith(u".plist"_s);
        QVERIFY(refused || QDir().mkpath(folder ? base + u'/' + blocker : base));
        if (!folder && !refused)
            writeFile(base + u'/' + blocker, "in the way");
        const auto error = HistoryRepository::write(directory, {makeEntry(u"x"_s, 1)});
        QVERIFY(error);
        QCOMPARE(error->localizedDescription(), shown.isEmpty() ? error->message : shown);
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

    // Our own files are checked against plistlib both ways; another writer's file (file set) must read
    // as the entries it holds.
    void decoding_data()
    {
        addColumns<Entries, QByteArray, qint64>("entries", "file", "version");
        const auto row = [](const char* name, const Entries& entries, const QByteArray& file = {},
                            qint64 version = 1) { QTest::newRow(name) << entries << file << version; };
        row("no entries", {});
        row("every field", {sample()});
        row("absent and empty fields, empty data",
            {sample(0, [](ClipboardEntry& e) { e.plainText.reset(), e.sourceBundleIdentifier.reset(); }),
             sample(1, [](ClipboardEntry& e) {
                 e.sourceName.clear(), e.title.clear(), e.plainText.emplace();
                 e.sourceBundleIdentifier.emplace();
                 e.items = {item({{PasteboardType::png, QByteArray()}}), item({})};
             })});
        row("non-ASCII strings", {sample(0, [](ClipboardEntry& e) {
                e.sourceName = u"Éditeur 文字"_s;
                e.title = u"caf\u00E9 \U0001F600"_s;
                e.plainText = u"caf\u00E9 \U0001F600\u2028\u00FF"_s;
                e.sourceBundleIdentifier = u"org.exämple"_s;
                e.items = {item({{u"public.ÿ"_s, "\xFF\x00"}})};
            })});
        row("timestamps kept to the last bit",
            {sample(0, [](ClipboardEntry& e) { e.capturedAt = Timestamp{1e9 + 0.123456789}; }),
             sample(1, [](ClipboardEntry& e) {
                 e.capturedAt = Timestamp{-978307200.000001};
                 e.lastCopiedAt = Timestamp{0};
             })});
        Entries many;
        for (int n = 0; n < 300; ++n)
            many.append(sample(n, [n](ClipboardEntry& e) { e.kind = ClipboardKind(n % 4); }));
        row("300 entries of every kind: 2-byte references", many);
        QByteArray large(70000, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(large.data()), large.size() / 4);
        row("70 kB of data: 4-byte offsets", {sample(0, [&](ClipboardEntry& e) {
                e.items = {item({{PasteboardType::tiff, large}, {PasteboardType::plainText, "x"}}),
                           item({{PasteboardType::tiff, large}})};
            })});
        row("offset table at 256: 2-byte offsets", tableAt(256));
        row("offset table at 65,536: 4-byte offsets", tableAt(65536));
        const QString longText = QString(300, u'a') + u"\u00E9"_s;
        row("long texts repeated", {sample(0, [&](ClipboardEntry& e) { e.plainText = longText; }),
                                    sample(1, [&](ClipboardEntry& e) { e.plainText = longText; })});

        const Entries two{sample(0), sample(1)}, one{sample()};
        row("keys in reverse order", two, m_plistlib.write(describe(two), {u"--reverse-keys"_s}));
        row("8-byte references and offsets", two, m_plistlib.write(describe(two), {u"--wide"_s}));
        row("equal items shared between entries", two, m_plistlib.write(describe(two), {u"--share"_s}));
        row("kind code", one, m_plistlib.write(sampleWith(u"entries/0/kind"_s, u"code"_s)));
        row("lower-case UUID", one,
            m_plistlib.write(sampleWith(u"entries/0/id"_s, u"6f1c2a3b-4d5e-4f60-8a7b-000000000000"_s)));
        QJsonObject extra = sampleWith(u"comment"_s, QJsonArray{true, 1.5, QJsonObject{{u"$date"_s, 0}}});
        extra = patched(extra, u"entries/0/pinned"_s, QJsonObject{{u"$data"_s, u"AAE="_s}}).toObject();
        extra = patched(extra, u"entries/0/items/0/representations/0/size"_s, 12).toObject();
        row("unknown keys", one, m_plistlib.write(extra));
        row("version -1, 8-byte integer", {}, m_plistlib.write(sampleWith(u"version"_s, -1)), -1);
        row("version 2, entries not decoded", {},
            m_plistlib.write(QJsonObject{{u"version"_s, 2}, {u"entries"_s, u"later"_s}}), 2);

        ClipboardEntry bare;
        bare.id = QUuid::fromString(u"6f1c2a3b-4d5e-4f60-8a7b-000000000000"_s);
        bare.capturedAt = bare.lastCopiedAt = Timestamp{1.5};
        bare.deduplicationKey = ClipboardEntry::makeDeduplicationKey({}, {}, {});
        row("hand-made, one object per index", {bare}, corpus("hand-minimal"));
        row("UTF-16 key, 16-byte version, small count in the long form", {bare},
            corpus("hand-utf16-key-wide-integers"));
    }

    void decoding()
    {
        QFETCH(Entries, entries);
        QFETCH(QByteArray, file);
        QFETCH(qint64, version);
        const bool ours = file.isNull();
        if (ours)
            file = ArchiveCodec::encode(entries);
        const auto decoded = ArchiveCodec::decode(file);
        QCOMPARE(failure(decoded), QString());
        QCOMPARE(std::get<Archive>(decoded).version, version);
        QCOMPARE(std::get<Archive>(decoded).entries, entries);
        if (!ours)
            return;
        QCOMPARE(m_plistlib.describe(file), describe(entries));
        // Compared as described: plistlib keeps whole microseconds of a date.
        const auto fromPlistlib = ArchiveCodec::decode(m_plistlib.write(describe(entries)));
        QCOMPARE(failure(fromPlistlib), QString());
        QCOMPARE(describe(std::get<Archive>(fromPlistlib).entries), describe(entries));
    }

    void rejects_data()
    {
        QTest::addColumn<QByteArray>("file");
        // Part of the description, or all of it when it starts with "=".
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const QByteArray& file, const QString& error) {
            QTest::newRow(name) << file << error;
        };
        const auto plistlib = [&](const char* name, const QString& path, const QJsonValue& value,
                                  const QString& error) {
            row(name, m_plistlib.write(sampleWith(path, value)), error);
        };

        const QByteArray valid = ArchiveCodec::encode({sample(0), sample(1)});
        row("empty", QByteArray(), u"does not start with bplist00"_s);
        row("header only", "bplist00", u"too short"_s);
        row("last byte cut", valid.chopped(1), QString());

        plistlib("version missing", u"version"_s, QJsonValue::Undefined,
                 u"=The root object: missing key \"version\""_s);
        plistlib("entries as a dictionary", u"entries"_s, QJsonObject{},
                 u"=entries: expected an array, found a dictionary"_s);
        plistlib("entry as a string", u"entries"_s, QJsonArray{u"x"_s},
                 u"=entries[0]: expected a dictionary, found a string"_s);
        plistlib("fingerprint missing", u"entries/0/fingerprint"_s, QJsonValue::Undefined,
                 u"=entries[0]: missing key \"fingerprint\""_s);
        plistlib("lastCopiedAt as a real number", u"entries/0/lastCopiedAt"_s, 700000000.5,
                 u"=entries[0].lastCopiedAt: expected a date, found a real number"_s);
        plistlib("plainText as a boolean", u"entries/0/plainText"_s, true,
                 u"=entries[0].plainText: expected a string, found a boolean"_s);
        plistlib("data as a string", u"entries/0/items/0/representations/0/data"_s, u"Hello"_s,
                 u"=entries[0].items[0].representations[0].data: expected data, found a string"_s);
        plistlib("kind in upper case", u"entries/0/kind"_s, u"TEXT"_s, u"=Unknown clipboard kind: TEXT"_s);
        for (const QString& id :
             {u"{6F1C2A3B-4D5E-4F60-8A7B-000000000000}"_s, u"6F1C2A3B-4D5E-4F60-8A7B-00000000000G"_s,
              u"6F1C2A3B04D5E-4F60-8A7B-000000000000"_s})
            QTest::addRow("id %s", qPrintable(id)) << m_plistlib.write(sampleWith(u"entries/0/id"_s, id))
                                                   << u"entries[0].id: \"%1\" is not a UUID"_s.arg(id);

        row("key that is not a string", corpus("found-key-unknown-marker"),
            u"=entries[0]: a dictionary key is an unknown object (marker 0xff), not a string"_s);
        row("entries contain the root", corpus("hand-entries-contain-root"),
            u"=entries[0]: object 0 contains itself"_s);
        row("a representation contains itself", corpus("found-representation-contains-itself"),
            u"representations[0]: object 0 contains itself"_s);
        row("one entry referred to over and over", corpus("hand-entry-repeated"),
            u"repeats its containers"_s);
        row("array of 2^60 elements", corpus("hand-huge-count"), u"claims 1152921504606846976 elements"_s);
        row("version beyond 64 bits", corpus("found-version-beyond-64-bits"),
            u"=version: the integer does not fit in 64 bits"_s);
        row("key twice", corpus("found-version-key-twice"), u"key \"version\" appears twice"_s);
        row("offset table outside the file", corpus("found-offset-table-outside"),
            u"outside the file of 42 bytes"_s);
        row("references of 6 bytes", corpus("found-trailer-widths"), u"references of 6 bytes"_s);
        row("the root running into the offset table", corpus("hand-object-into-offset-table"),
            u"object 4 claims 3 elements"_s);
        row("more objects than 2-byte offsets fit, the top one past the end",
            corpus("hand-objects-past-wide-table"), u"offset table of 82 objects does not fit"_s);

        // Our encoding of one entry, with one object changed in place.
        const QByteArray one = ArchiveCodec::encode({sample()});
        row("count that is not an integer", changed(one, one.indexOf("\x5F\x10") + 1, "\x23"),
            u"malformed count"_s);
        row("ASCII string with a byte above 0x7F", changed(one, one.indexOf("\x54text") + 2, "\xE9"),
            u"=entries[0].kind: an ASCII string holds bytes above 0x7F"_s);
        const QByteArray date =
            '\x33' + bigEndian(std::bit_cast<quint64>(sample().capturedAt.secondsSinceReferenceDate));
        row("date marker of another size", changed(one, one.indexOf(date), "\x30"),
            u"expected a date, found a malformed date"_s);
        // The empty archive: five objects, the root last, with its last reference at 31, the offset
        // table at 32 and the trailer's object count, top object and table offset at -24, -16 and -8.
        const QByteArray empty = ArchiveCodec::encode({});
        row("reference past the last object", changed(empty, 31, "\x05"), u"reference to object 5 of 5"_s);
        row("offset into the offset table", changed(empty, 35, "\x20"), u"object 3 lies at offset 32"_s);
        row("top object past the last", changed(empty, empty.size() - 16, bigEndian(5)),
            u"top object 5 is not among"_s);
        row("no objects", changed(empty, empty.size() - 24, bigEndian(0)), u"offset table of 0 objects"_s);
        row("2^62 objects", changed(empty, empty.size() - 24, bigEndian(1ULL << 62)),
            u"offset table of 4611686018427387904 objects"_s);
    }

    void rejects()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        QVERIFY(!file.isEmpty() || QTest::currentDataTag() == QByteArray("empty"));
        const auto decoded = ArchiveCodec::decode(file);
        QVERIFY2(std::holds_alternative<DecodingError>(decoded), "decoded without an error");
        const QString description = std::get<DecodingError>(decoded).description;
        if (error.startsWith(u'='))
            QCOMPARE(description, error.mid(1));
        else
            QVERIFY2(description.contains(error), qPrintable(description));
    }

    // Contents present at launch or marked as seen are never read; every other copy once, whether it
    // waited for the start, the pasteboard reports it or the poll finds it.
    void eachCopyIsCapturedOnce()
    {
        Harness h;
        h.pasteboard.setText(u"present at launch"_s);
        ClipboardMonitor monitor(h.pasteboard, h.workspace);
        monitor.onCapture = h.monitor.onCapture;
        monitor.poll();
        QCOMPARE(h.pasteboard.dataReads(), 0);
        h.pasteboard.setText(u"waiting"_s);
        monitor.start();
        QVERIFY(monitor.isPolling() && h.pasteboard.observing());
        QCOMPARE(titles(h.captured), u"waiting"_s);
        h.pasteboard.setText(u"seen"_s);
        monitor.markCurrentContentsSeen();
        QCOMPARE(h.pasteboard.markSeenCalls(), 1);
        const int reads = h.pasteboard.dataReads();
        monitor.poll();
        QCOMPARE(h.pasteboard.dataReads(), reads);
        h.pasteboard.setText(u"reported"_s);
        h.pasteboard.changeHandler();
        monitor.poll();
        QCOMPARE(titles(h.captured), u"waiting reported"_s);
        h.pasteboard.setText(u"polled"_s);
        QTRY_COMPARE(titles(h.captured), u"waiting reported polled"_s);

        monitor.stop();
        QVERIFY(!monitor.isPolling() && !h.pasteboard.observing() && !h.pasteboard.changeHandler);
        monitor.start();
        QVERIFY(monitor.isPolling() && h.pasteboard.observing());
        QCOMPARE(h.captured.size(), 3);
    }

    // Outcome: the kind and plain text of what was captured, or the notice given. A marked copy and one
    // of private types only are not even read (reads 0; -1: not counted).
    void capture_data()
    {
        addColumns<FakeItems, int, QString>("items", "reads", "outcome");
        const auto row = [](const char* name, const FakeItems& items, int reads, const QString& outcome) {
            QTest::newRow(name) << items << reads << outcome;
        };
        const auto marked = [](const QString& marker, bool onSecondItem) {
            const FakePasteboard::Item secret =
                makeItem({{PasteboardType::plainText, "secret"}, {marker, {}}});
            return onSecondItem ? FakeItems{makeItem({{PasteboardType::plainText, "ordinary"}}), secret}
                                : FakeItems{secret};
        };
        const auto images = [](const QList<qsizetype>& sizes) {
            FakeItems items;
            for (qsizetype size : sizes)
                items.append(makeItem({{PasteboardType::png, QByteArray(size, 'x')}}));
            return items;
        };
        const QByteArray link("https://example.com/");
        row("concealed on the second item", marked(PasteboardType::concealed, true), 0, {});
        row("concealed on the text item", marked(PasteboardType::concealed, false), 0, {});
        row("transient", marked(PasteboardType::transient, true), 0, {});
        row("auto-generated", marked(PasteboardType::autoGenerated, true), 0, {});
        row("password manager", marked(PasteboardType::onePassword, true), 0, {});
        row("own marker", marked(PasteboardType::ownMarker, false), 0, {});
        row("only a private type, large", {makeItem({{privateType, QByteArray(13 * MiB, 'z')}})}, 0, {});
        row("second item with only a private type",
            {makeItem({{PasteboardType::plainText, "text"}}), makeItem({{privateType, "x"}})}, -1, {});
        row("listed type the owner cannot provide", {FakePasteboard::Item{{PasteboardType::plainText}, {}}},
            -1, {});
        row("empty pasteboard", {}, -1, {});
        row("exactly 12 MiB", images({12 * MiB}), 1, u"image -"_s);
        row("one byte over", images({12 * MiB + 1}), 1, u"copyTooLarge"_s);
        row("two items of 7 MiB", images({7 * MiB, 7 * MiB}), 2, u"copyTooLarge"_s);
        row("reading stops at the representation over the limit",
            {makeItem({{PasteboardType::png, QByteArray(7 * MiB, 'p')},
                       {PasteboardType::tiff, QByteArray(7 * MiB, 't')},
                       {PasteboardType::html, "<p>"}}),
             makeItem({{PasteboardType::plainText, "after"}})},
            2, u"copyTooLarge"_s);
        row("text from the first item",
            {makeItem({{PasteboardType::plainText, "first\nline"}, {PasteboardType::html, "<p>"}}),
             FakePasteboard::Item{{PasteboardType::rtf, PasteboardType::plainText},
                                  {{PasteboardType::plainText, "second"}}}},
            -1, u"text first\nline"_s);
        row("URL type when there is no plain text", {makeItem({{PasteboardType::url, link}})}, -1,
            u"link "_s + QString::fromLatin1(link));
        row("plain text preferred over the URL type",
            {makeItem({{PasteboardType::url, link}, {PasteboardType::plainText, "label"}})}, -1,
            u"text label"_s);
        row("rich text only", {makeItem({{PasteboardType::rtf, "{\\rtf1 x}"}})}, -1, u"text -"_s);
    }

    void capture()
    {
        QFETCH(FakeItems, items);
        QFETCH(int, reads);
        QFETCH(QString, outcome);
        Harness h;
        h.pasteboard.setItems(items);
        h.monitor.poll();
        QStringList seen;
        for (const ClipboardEntry& entry : std::as_const(h.captured))
            seen << ClipboardKinds::rawValue(entry.kind) + u' ' + entry.plainText.value_or(u"-"_s);
        for (const L10n::Key key : std::as_const(h.notices))
            seen << L10n::keyName(key);
        QCOMPARE(seen.join(u"; "), outcome);
        // Only what was recorded is kept on the clipboard when its owner quits.
        QCOMPARE(h.pasteboard.recorded,
                 h.captured.isEmpty() ? QList<qint64>() : QList{h.pasteboard.changeCount()});
        if (reads >= 0)
            QCOMPARE(h.pasteboard.dataReads(), reads);
        if (h.captured.isEmpty())
            return;
        const ClipboardEntry& entry = h.captured.first();
        QCOMPARE(entry.title, ClipboardEntry::classify(entry.items, entry.plainText).title);
        // Snapshots follow the pasteboard: items in order, each item's types in its own order, those
        // listed but not provided left out.
        Items expected;
        for (const FakePasteboard::Item& item : items) {
            expected.append(PasteboardItemSnapshot());
            for (const QString& type : item.types) {
                if (item.data.contains(type))
                    expected.last().representations.append({type, item.data.value(type)});
            }
        }
        QVERIFY(entry.items == expected);
        QCOMPARE(entry.fingerprint, ClipboardEntry::fingerprintOf(entry.items));
    }

    // A copy made while the previous one is read is captured at the next poll, never mixed.
    void changeWhileReadingDefersToNextPoll_data()
    {
        QTest::addColumn<bool>("whileReadingText");
        QTest::newRow("while reading data") << false;
        QTest::newRow("while reading the text") << true;
    }

    void changeWhileReadingDefersToNextPoll()
    {
        QFETCH(bool, whileReadingText);
        Harness h;
        h.pasteboard.setItems(
            {makeItem({{PasteboardType::plainText, "old"}, {PasteboardType::html, "<p>"}})});
        bool changed = false;
        const auto change = [&] {
            if (!std::exchange(changed, true))
                h.pasteboard.setText(u"new"_s);
        };
        if (whileReadingText)
            h.pasteboard.onStringRead = [&](const QString&) { change(); };
        else
            h.pasteboard.onDataRead = [&](qsizetype, const QString&) { change(); };
        h.monitor.poll();
        QVERIFY(changed);
        QVERIFY(h.captured.isEmpty());
        h.monitor.poll();
        QCOMPARE(titles(h.captured), u"new"_s);
    }

    // Named after the application in front, when there is one; each copy an entry of its own.
    void capturedEntryNamesItsSource()
    {
        Harness h;
        const OptionalString editor(u"org.example.editor.desktop"_s), none;
        const QList<std::tuple<OptionalApplication, QString, OptionalString>> cases{
            {RunningApplication{u"Editor"_s, editor, 42}, u"Editor"_s, editor},
            {RunningApplication{std::nullopt, editor, 7}, QString(), editor},
            {RunningApplication{u"Terminal"_s, std::nullopt, 9}, u"Terminal"_s, none},
            {std::nullopt, QString(), none}};
        const Timestamp before = Timestamp::now();
        for (const auto& [application, name, bundle] : cases) {
            h.workspace.frontmost = application;
            h.pasteboard.setText(u"copied"_s);
            h.monitor.poll();
            const ClipboardEntry& entry = h.captured.last();
            QCOMPARE(entry.sourceName, name);
            QVERIFY(entry.sourceBundleIdentifier == bundle);
            QCOMPARE(entry.deduplicationKey,
                     ClipboardEntry::makeDeduplicationKey(name, bundle, entry.fingerprint));
            QVERIFY(entry.capturedAt == entry.lastCopiedAt && before <= entry.capturedAt);
        }
        QVERIFY(h.captured[0].id != h.captured[1].id && !h.captured[0].id.isNull());
        QVERIFY(h.captured[3].capturedAt <= Timestamp::now());
    }

    void writeBack_data()
    {
        addColumns<Items, bool, OptionalError>("items", "refuse", "error");
        using Error = ClipboardMonitor::ClipboardError;
        const auto row = [](const char* name, const Items& items, const OptionalError& error = {},
                            bool refuse = false) { QTest::newRow(name) << items << refuse << error; };
        const auto file = [](const QByteArray& url) {
            return PasteboardItemSnapshot{{{PasteboardType::fileURL, url}}};
        };
        const QByteArray existing = QUrl::fromLocalFile(QCoreApplication::applicationFilePath()).toEncoded();
        row("two items", {{{{PasteboardType::png, "png"}, {PasteboardType::tiff, "tiff"}}},
                          {{{PasteboardType::plainText, "caption"}}}});
        row("second file missing", {file(existing), file("file:///nowhere/gone%20away.txt")},
            Error{Error::Code::missingFile, u"gone away.txt"_s});
        row("a folder exists", {file(QUrl::fromLocalFile(QDir::tempPath() + u'/').toEncoded())});
        row("not a file URL: written as stored", {file("https://example.com/f")});
        row("no items", {}, Error{Error::Code::empty, QString()});
        row("refused", {{{{PasteboardType::plainText, "x"}}}}, Error{Error::Code::writeFailed, QString()},
            true);
    }

    // Written back as captured, each item marked as our own so that it is not recorded again.
    void writeBack()
    {
        QFETCH(Items, items);
        QFETCH(bool, refuse);
        QFETCH(OptionalError, error);
        const bool touched = !error || refuse;
        Harness h;
        h.pasteboard.setText(u"before"_s);
        h.monitor.poll();
        h.pasteboard.refuseWrites = refuse;
        ClipboardEntry entry;
        entry.kind = ClipboardKind::file;
        entry.items = items;

        QVERIFY(h.monitor.write(entry) == error);
        Items marked = items;
        for (PasteboardItemSnapshot& item : marked)
            item.representations.append({PasteboardType::ownMarker, "1"});
        QVERIFY(h.pasteboard.writes == (touched ? QList<Items>{marked} : QList<Items>()));
        QCOMPARE(h.monitor.lastChangeCount(), h.pasteboard.changeCount());
        if (error)
            QVERIFY(error->localizedDescription().contains(error->fileName) &&
                    !error->localizedDescription().isEmpty());
    }

    // Rows speak in short tokens (see tapEvent); the popup sits at 100,100 once the chord has started.
    void chord_data()
    {
        addColumns<QString, bool, QString, QString>("events", "canStart", "swallowed", "reported");
        const auto row = [](const char* name, const char* events, bool canStart, const char* swallowed,
                            const char* reported) {
            QTest::newRow(name) << QString::fromLatin1(events) << canStart << QString::fromLatin1(swallowed)
                                << QString::fromLatin1(reported);
        };
        row("tap V twice and Z, release", "dV+cs uV+cs dV+cs uV+cs dZ+cs uZ+cs f+c f", true, "11111100",
            "start up(1) cycle(1,0) up(1) cycle(-1,0) up(-1) release");
        row("Caps Lock on still starts", "dV+csl", true, "1", "start");
        row("Alt held lets V pass", "dV+cso", true, "0", "");
        row("only Super", "dV+c", true, "0", "");
        row("refused by the owner", "dV+cs", false, "0", "");
        row("a repeat never starts", "dV*+cs", true, "0", "");
        row("Z while idle cancels and passes", "dZ+cs", true, "0", "cancel");
        row("V held repeats forward", "dV+cs dV*+cs dV*+cs", true, "111", "start cycle(1,1) cycle(1,1)");
        row("repeats of a swallowed V while idle", "dV+cs f dV*+s dV*", true, "1011", "start release");
        row("V released after the chord", "dV+cs f uV", true, "101", "start release up(1)");
        row("Escape swallowed both ways", "dV+cs dE+cs uE+cs", true, "111", "start cancel");
        row("another key cancels and passes", "dV+cs dK+cs", true, "10", "start cancel");
        row("Control cancels", "dV+cs f+cst", true, "10", "start cancel");
        row("Alt cancels", "dV+cs f+cso", true, "10", "start cancel");
        row("V without Shift cancels", "dV+cs dV+c", true, "10", "start cancel");
        row("click inside the popup", "dV+cs L@+cs", true, "10", "start");
        row("click outside the popup", "dV+cs L+cs", true, "10", "start cancel");
        row("click inside without the chord", "dV+cs L@+c", true, "10", "start cancel");
        row("right click", "dV+cs R@+cs", true, "10", "start cancel");
        row("wheel inside the popup", "dV+cs S@+cs", true, "10", "start");
        row("wheel inside with only Super", "dV+cs S@+c", true, "11", "start");
        row("wheel outside", "dV+cs S+cs", true, "10", "start");
        row("clicks while idle cancel", "L R O", true, "000", "cancel cancel cancel");
        row("our own keystroke is never counted", "dV!+cs dV!+t uV!", true, "000", "");
    }

    void chord()
    {
        QFETCH(QString, events);
        QFETCH(bool, canStart);
        QFETCH(QString, swallowed);
        QFETCH(QString, reported);
        Chord h;
        h.monitor.canStart = [canStart] { return canStart; };
        h.monitor.start(false);
        h.log.clear();
        QString results;
        for (const QString& token : events.split(u' ')) {
            if (h.monitor.active())
                h.monitor.setPopupFrame(QRectF(100, 100, 460, 300));
            TapEvent event = tapEvent(token);
            results += h.monitor.handle(event) ? u'1' : u'0';
            QCoreApplication::sendPostedEvents();
        }
        QCOMPARE(results, swallowed);
        QCOMPARE(h.log.join(u' '), reported);
    }

    void sideways()
    {
        // A scroll in the popup with the chord held arrives upright and without the chord's modifiers.
        Chord h;
        h.monitor.start(false);
        TapEvent start = tapEvent(u"dV+cs"_s), scroll = tapEvent(u"S@+csl"_s);
        QVERIFY(h.monitor.handle(start));
        h.monitor.setPopupFrame(QRectF(100, 100, 100, 100));
        scroll.lineDeltaAxis1 = 0;
        scroll.lineDeltaAxis2 = 3;
        scroll.pointDeltaAxis2 = 30;
        scroll.fixedPtDeltaAxis2 = 2.5;
        QVERIFY(!h.monitor.handle(scroll));
        QCOMPARE(scroll.flags, TapEvent::capsLockFlag);
        QCOMPARE(std::tuple(scroll.lineDeltaAxis1, scroll.pointDeltaAxis1, scroll.fixedPtDeltaAxis1),
                 std::tuple(qint64(3), qint64(30), 2.5));
        QCOMPARE(std::tuple(scroll.lineDeltaAxis2, scroll.pointDeltaAxis2, scroll.fixedPtDeltaAxis2),
                 std::tuple(qint64(0), qint64(0), 0.0));
    }

    // The chord pressed twice, then ended by "stop", "finish" (a row chosen) or "off" (the system turns
    // the tap off).
    void monitorLifecycle_data()
    {
        addColumns<QString, QString, QString>("setup", "ending", "reported");
        QTest::newRow("stop during a chord voids what was queued")
            << QString() << u"stop"_s << u"ready cancel disabled"_s;
        QTest::newRow("a row chosen ends the chord silently") << QString() << u"finish"_s << u"ready"_s;
        QTest::newRow("the system turns the tap off")
            << QString() << u"off"_s << u"ready start cycle(1,0) cancel"_s;
        QTest::newRow("secure input") << u"secure"_s << QString() << u"ready"_s;
        QTest::newRow("not trusted") << u"untrusted"_s << QString() << u"needsPermission needsPermission"_s;
        QTest::newRow("no tap") << u"no tap"_s << QString() << u"failed failed"_s;
    }

    void monitorLifecycle()
    {
        QFETCH(QString, setup);
        QFETCH(QString, ending);
        QFETCH(QString, reported);
        Chord h;
        h.tap.canInstall = setup != u"no tap";
        h.tap.secureInput = setup == u"secure";
        h.accessibility.trusted = setup != u"untrusted";
        h.monitor.start(true);
        h.monitor.start(true);
        QCOMPARE(h.accessibility.trustRequests, h.accessibility.trusted ? 0 : 2);
        if (h.tap.client) {
            TapEvent press = tapEvent(u"dV+cs"_s), again = press;
            QCOMPARE(h.tap.client->handle(press), !h.tap.secureInput);
            if (!h.tap.secureInput) {
                QVERIFY(h.tap.client->handle(again));
                TapEvent off{.type = TapEvent::tapDisabledByTimeout};
                if (ending == u"stop")
                    h.monitor.stop();
                else if (ending == u"finish")
                    h.monitor.finishChord();
                else
                    QVERIFY(!h.tap.client->handle(off) && h.tap.enables == 1);
                QVERIFY(!h.monitor.active());
            }
        }
        QCoreApplication::sendPostedEvents();
        QCOMPARE(h.log.join(u' '), reported);
    }

    // Each step is the keys held at one look, 10 ms apart: c Super, s Shift, t Control, o Alt, v a key
    // of the paste shortcut.
    void chordReleaseWait_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("already up") << u"-"_s << u"released after 0 ms"_s;
        QTest::newRow("Shift, then Super") << u"cs c -"_s << u"released after 20 ms"_s;
        QTest::newRow("V still down after Super and Shift") << u"csv v v -"_s << u"released after 30 ms"_s;
        QTest::newRow("Control goes down") << u"cs cst"_s << u"given up after 10 ms"_s;
        QTest::newRow("Alt instead of letting go") << u"cs c co"_s << u"given up after 20 ms"_s;
        QTest::newRow("held for a second") << u"cs "_s.repeated(120).trimmed() << u"given up after 1000 ms"_s;
    }

    void chordReleaseWait()
    {
        QFETCH(QString, held);
        QFETCH(QString, outcome);
        FakeEventTap tap;
        ManualDelayTimer timer;
        ChordReleaseWait wait(tap, timer);
        const QStringList steps = held.split(u' ');
        qsizetype step = 0;
        QString reported;
        tap.modifierFlags = flags(steps[step]);
        wait.start([&] { return !steps[step].contains(u'v'); },
                   [&](bool released) {
                       reported =
                           u"%1 after %2 ms"_s.arg(released ? u"released"_s : u"given up"_s).arg(step * 10);
                   });
        while (reported.isEmpty() && ++step < steps.size()) {
            tap.modifierFlags = flags(steps[step]);
            timer.advance(std::chrono::milliseconds(10));
        }
        QCOMPARE(reported, outcome);
        QVERIFY(!wait.isWaiting());
    }

    // "process:element" in front when the chord starts and at the paste, "!" when the first has quit by
    // then. Process 7 is Clipwell; a process of 0 is nothing in front, an element of 0 one unreadable.
    void pasteTarget_data()
    {
        QTest::addColumn<QString>("captured");
        QTest::addColumn<QString>("later");
        QTest::addColumn<int>("expected"); // -1: no target; else whether it is still current
        const auto row = [](const char* name, const char* captured, const char* later, int expected) {
            QTest::newRow(name) << QString::fromLatin1(captured) << QString::fromLatin1(later) << expected;
        };
        row("unchanged", "40:5", "40:5", 1);
        row("quit before the paste", "40:5", "40:5!", 0);
        row("another element of the same application", "40:5", "40:6", 0);
        row("element no longer readable", "40:5", "40:0", 0);
        row("no element captured, still in front", "40:0", "40:6", 1);
        row("no element captured, quit", "40:0", "40:0!", 0);
        row("another application in front", "40:5", "41:5", 0);
        row("nothing in front any more", "40:5", "0:5", 0);
        row("Clipwell in front", "7:5", "7:5", -1);
        row("nothing in front", "0:5", "0:5", -1);
    }

    void pasteTarget()
    {
        QFETCH(QString, captured);
        QFETCH(QString, later);
        QFETCH(int, expected);
        FakeWorkspace workspace;
        const auto arrange = [&](const QString& state) {
            const qint64 process = state.section(u':', 0, 0).toLongLong();
            const quint64 element = state.section(u':', 1).remove(u'!').toULongLong();
            workspace.frontmost =
                process ? std::optional(RunningApplication{u"App"_s, {}, process}) : std::nullopt;
            workspace.focused.clear();
            if (element)
                workspace.focused.insert(40, {element});
            if (state.endsWith(u'!'))
                workspace.terminated.append(40);
        };
        arrange(captured);
        const std::optional<PasteTarget> target = PasteTarget::capture(workspace, 7);
        QCOMPARE(target.has_value(), expected >= 0);
        if (!target)
            return;
        QCOMPARE(target->application, *workspace.frontmost);
        arrange(later);
        QCOMPARE(target->isStillCurrent(workspace), expected == 1);
    }
};

QTEST_GUILESS_MAIN(TestServices)
#include "tst_services.moc"
