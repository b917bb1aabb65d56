#include "models/PasteboardType.h"
#include "services/ArchiveCodec.h"
#include "support/EntryBuilder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>
#include <bit>
#include <cmath>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

using Entries = QList<ClipboardEntry>;
Q_DECLARE_METATYPE(Entries)

namespace {

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

// QVERIFY2 evaluates its message whatever the outcome.
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

// The archive with the value at a path such as "entries/0/kind" replaced, or removed when undefined.
QJsonObject patched(const QJsonObject& archive, const QString& path, const QJsonValue& value)
{
    const std::function<QJsonValue(const QJsonValue&, QStringList)> set =
        [&](const QJsonValue& node, QStringList keys) -> QJsonValue {
        const QString key = keys.takeFirst();
        if (node.isArray()) {
            QJsonArray array = node.toArray();
            array[key.toInt()] = keys.isEmpty() ? value : set(array[key.toInt()], keys);
            return array;
        }
        QJsonObject object = node.toObject();
        if (!keys.isEmpty())
            object[key] = set(object[key], keys);
        else if (value.isUndefined())
            object.remove(key);
        else
            object[key] = value;
        return object;
    };
    return set(archive, path.split(u'/')).toObject();
}

QJsonObject sampleWith(const QString& path, const QJsonValue& value)
{
    return patched(describe({sample()}), path, value);
}

// Files plistlib never writes: the fuzzer's corpus, and our own encoding with bytes changed.
QByteArray corpus(const char* name)
{
    QFile file(QStringLiteral(FUZZ_CORPUS "/%1.plist").arg(QLatin1StringView(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

} // namespace

class TestArchiveCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<Entries>("entries");

        QTest::newRow("no entries") << Entries{};
        QTest::newRow("every field") << Entries{sample()};
        QTest::newRow("absent and empty fields, empty data") << Entries{
            sample(0, [](ClipboardEntry& e) { e.plainText.reset(), e.sourceBundleIdentifier.reset(); }),
            sample(1, [](ClipboardEntry& e) {
                e.sourceName.clear(), e.title.clear(), e.plainText.emplace();
                e.sourceBundleIdentifier.emplace();
                e.items = {item({{PasteboardType::png, QByteArray()}}), item({})};
            })};
        QTest::newRow("non-ASCII strings") << Entries{sample(0, [](ClipboardEntry& e) {
            e.sourceName = u"Éditeur 文字"_s;
            e.title = u"caf\u00E9 \U0001F600"_s;
            e.plainText = u"caf\u00E9 \U0001F600\u2028\u00FF"_s;
            e.sourceBundleIdentifier = u"org.exämple"_s;
            e.items = {item({{u"public.ÿ"_s, "\xFF\x00"}})};
        })};
        QTest::newRow("timestamps kept to the last bit")
            << Entries{sample(0, [](ClipboardEntry& e) { e.capturedAt = Timestamp{1e9 + 0.123456789}; }),
                       sample(1, [](ClipboardEntry& e) {
                           e.capturedAt = Timestamp{-978307200.000001};
                           e.lastCopiedAt = Timestamp{0};
                       })};
        Entries many;
        for (int n = 0; n < 300; ++n)
            many.append(sample(n, [n](ClipboardEntry& e) { e.kind = ClipboardKind(n % 4); }));
        QTest::newRow("300 entries of every kind: 2-byte references") << many;
        QByteArray large(70000, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(large.data()), large.size() / 4);
        QTest::newRow("70 kB of data: 4-byte offsets") << Entries{sample(0, [&](ClipboardEntry& e) {
            e.items = {item({{PasteboardType::tiff, large}, {PasteboardType::plainText, "x"}}),
                       item({{PasteboardType::tiff, large}})};
        })};
        const QString longText = QString(300, u'a') + u"\u00E9"_s;
        QTest::newRow("long texts repeated")
            << Entries{sample(0, [&](ClipboardEntry& e) { e.plainText = longText; }),
                       sample(1, [&](ClipboardEntry& e) { e.plainText = longText; })};
    }

    void roundTrip()
    {
        QFETCH(Entries, entries);

        const QByteArray file = ArchiveCodec::encode(entries);
        const auto decoded = ArchiveCodec::decode(file);
        QCOMPARE(failure(decoded), QString());
        QCOMPARE(std::get<Archive>(decoded).version, 1);
        QCOMPARE(std::get<Archive>(decoded).entries, entries);
        QCOMPARE(m_plistlib.describe(file), describe(entries));
        // Compared as described: plistlib keeps whole microseconds of a date.
        const auto fromPlistlib = ArchiveCodec::decode(m_plistlib.write(describe(entries)));
        QCOMPARE(failure(fromPlistlib), QString());
        QCOMPARE(describe(std::get<Archive>(fromPlistlib).entries), describe(entries));
    }

    void readsOtherWriters_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("version");
        QTest::addColumn<Entries>("entries");
        const auto row = [](const char* name, const QByteArray& file, qint64 version,
                            const Entries& entries) { QTest::newRow(name) << file << version << entries; };

        const Entries two{sample(0), sample(1)}, one{sample()};
        row("keys in reverse order", m_plistlib.write(describe(two), {u"--reverse-keys"_s}), 1, two);
        row("8-byte references and offsets", m_plistlib.write(describe(two), {u"--wide"_s}), 1, two);
        row("equal items shared between entries", m_plistlib.write(describe(two), {u"--share"_s}), 1, two);
        row("kind code", m_plistlib.write(sampleWith(u"entries/0/kind"_s, u"code"_s)), 1, one);
        row("lower-case UUID",
            m_plistlib.write(sampleWith(u"entries/0/id"_s, u"6f1c2a3b-4d5e-4f60-8a7b-000000000000"_s)), 1,
            one);
        QJsonObject extra = sampleWith(u"comment"_s, QJsonArray{true, 1.5, QJsonObject{{u"$date"_s, 0}}});
        extra = patched(extra, u"entries/0/pinned"_s, QJsonObject{{u"$data"_s, u"AAE="_s}});
        extra = patched(extra, u"entries/0/items/0/representations/0/size"_s, 12);
        row("unknown keys", m_plistlib.write(extra), 1, one);
        row("version 300, 2-byte integer", m_plistlib.write(sampleWith(u"version"_s, 300)), 300, {});
        row("version -1, 8-byte integer", m_plistlib.write(sampleWith(u"version"_s, -1)), -1, {});
        row("version 2, entries not decoded",
            m_plistlib.write(QJsonObject{{u"version"_s, 2}, {u"entries"_s, u"later"_s}}), 2, {});

        ClipboardEntry bare;
        bare.id = QUuid::fromString(u"6f1c2a3b-4d5e-4f60-8a7b-000000000000"_s);
        bare.capturedAt = bare.lastCopiedAt = Timestamp{1.5};
        bare.deduplicationKey = ClipboardEntry::makeDeduplicationKey({}, {}, {});
        row("hand-made, one object per index", corpus("hand-minimal"), 1, {bare});
        row("UTF-16 key, 16-byte version, small count in the long form",
            corpus("hand-utf16-key-wide-integers"), 1, {bare});
    }

    void readsOtherWriters()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, version);
        QFETCH(Entries, entries);
        const auto decoded = ArchiveCodec::decode(file);
        QCOMPARE(failure(decoded), QString());
        QCOMPARE(std::get<Archive>(decoded).version, version);
        QCOMPARE(std::get<Archive>(decoded).entries, entries);
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
        QByteArray garbage(400, Qt::Uninitialized);
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
        row("garbage after the header", "bplist00" + garbage, QString());

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

private:
    Plistlib m_plistlib;
};

QTEST_GUILESS_MAIN(TestArchiveCodec)
#include "tst_archivecodec.moc"
