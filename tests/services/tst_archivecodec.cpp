#include "models/PasteboardType.h"
#include "services/ArchiveCodec.h"

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

ClipboardEntry finished(ClipboardEntry entry)
{
    entry.deduplicationKey = ClipboardEntry::makeDeduplicationKey(
        entry.sourceName, entry.sourceBundleIdentifier, entry.fingerprint);
    return entry;
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
    entry.fingerprint = ClipboardEntry::fingerprintOf(entry.items);
    entry.sourceBundleIdentifier = u"org.example.editor"_s;
    if (change)
        change(entry);
    return finished(entry);
}

// ---- Python's plistlib as the independent oracle

// One Python process for the whole run: starting one per request would dominate the test's time.
class Plistlib {
public:
    Plistlib() = default;
    Plistlib(const Plistlib&) = delete;
    Plistlib& operator=(const Plistlib&) = delete;
    ~Plistlib()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished();
    }

    QByteArray write(const QJsonObject& value, const QStringList& options = {})
    {
        const QJsonObject reply = request({{u"command"_s, u"write"_s},
                                           {u"value"_s, value},
                                           {u"options"_s, QJsonArray::fromStringList(options)}});
        return QByteArray::fromBase64(reply[u"file"_s].toString().toLatin1());
    }

    QJsonObject describe(const QByteArray& file)
    {
        const QJsonObject reply =
            request({{u"command"_s, u"describe"_s}, {u"file"_s, QString::fromLatin1(file.toBase64())}});
        return reply[u"value"_s].toObject();
    }

private:
    QJsonObject request(const QJsonObject& request)
    {
        if (m_process.state() == QProcess::NotRunning) {
            m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            m_process.start(QStringLiteral(PYTHON3_EXECUTABLE), {QStringLiteral(PLIST_ORACLE)});
        }
        m_process.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(60000)) {
                qWarning() << "plist_oracle.py does not answer:" << m_process.errorString();
                return {};
            }
        }
        const QJsonObject reply = QJsonDocument::fromJson(m_process.readLine()).object();
        if (reply.contains(u"error"_s))
            qWarning().noquote() << "plistlib:" << reply[u"error"_s].toString();
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

// What plistlib keeps of a date: whole microseconds.
Entries atMicroseconds(Entries entries)
{
    for (ClipboardEntry& entry : entries) {
        entry.capturedAt = Timestamp{static_cast<double>(microseconds(entry.capturedAt)) / 1e6};
        entry.lastCopiedAt = Timestamp{static_cast<double>(microseconds(entry.lastCopiedAt)) / 1e6};
    }
    return entries;
}

// The archive as plist_oracle.py describes property lists.
QJsonObject describe(const Entries& entries, qint64 version = 1)
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
    return QJsonObject{{u"version"_s, version}, {u"entries"_s, list}};
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

// ---- Hand-made files, for encodings plistlib never writes

QByteArray bigEndian(quint64 value, int width)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes.right(width);
}

QByteArray header(int type, qsizetype count)
{
    if (count < 15)
        return QByteArray(1, char(type << 4 | int(count)));
    return QByteArray(1, char(type << 4 | 0xF)) + '\x10' + char(count);
}

QByteArray str(QByteArrayView text)
{
    return header(0x5, text.size()) + text.toByteArray();
}

QByteArray array(const QList<int>& refs)
{
    QByteArray bytes = header(0xA, refs.size());
    for (int ref : refs)
        bytes += char(ref);
    return bytes;
}

QByteArray dict(const QList<std::pair<int, int>>& fields)
{
    QByteArray bytes = header(0xD, fields.size());
    for (const auto& field : fields)
        bytes += char(field.first);
    for (const auto& field : fields)
        bytes += char(field.second);
    return bytes;
}

// A one-entry archive with no items, one object per index, 1-byte references, the root first.
enum : int {
    Root,
    VersionKey,
    EntriesKey,
    Version,
    EntryList,
    Entry,
    IdKey,
    CapturedAtKey,
    LastCopiedAtKey,
    SourceNameKey,
    KindKey,
    TitleKey,
    ItemsKey,
    FingerprintKey,
    Id,
    Date,
    Empty,
    Kind,
    ItemList,
    ObjectCount
};

QList<QByteArray> handmade()
{
    QList<QByteArray> objects(ObjectCount);
    objects[Root] = dict({{VersionKey, Version}, {EntriesKey, EntryList}});
    objects[VersionKey] = str("version");
    objects[EntriesKey] = str("entries");
    objects[Version] = QByteArray("\x10\x01", 2);
    objects[EntryList] = array({Entry});
    objects[Entry] = dict({{IdKey, Id},
                           {CapturedAtKey, Date},
                           {LastCopiedAtKey, Date},
                           {SourceNameKey, Empty},
                           {KindKey, Kind},
                           {TitleKey, Empty},
                           {ItemsKey, ItemList},
                           {FingerprintKey, Empty}});
    objects[IdKey] = str("id");
    objects[CapturedAtKey] = str("capturedAt");
    objects[LastCopiedAtKey] = str("lastCopiedAt");
    objects[SourceNameKey] = str("sourceName");
    objects[KindKey] = str("kind");
    objects[TitleKey] = str("title");
    objects[ItemsKey] = str("items");
    objects[FingerprintKey] = str("fingerprint");
    objects[Id] = str("6F1C2A3B-4D5E-4F60-8A7B-000000000000");
    objects[Date] = '\x33' + bigEndian(std::bit_cast<quint64>(1.5), 8);
    objects[Empty] = str("");
    objects[Kind] = str("text");
    objects[ItemList] = array({});
    return objects;
}

QByteArray assemble(const QList<QByteArray>& objects)
{
    QByteArray file = "bplist00";
    QList<qsizetype> offsets;
    for (const QByteArray& object : objects) {
        offsets.append(file.size());
        file += object;
    }
    const auto tableOffset = quint64(file.size());
    const int width = tableOffset < 256 ? 1 : 2;
    for (qsizetype offset : offsets)
        file += bigEndian(quint64(offset), width);
    file += QByteArray(6, '\0') + char(width) + '\x01';
    file += bigEndian(quint64(objects.size()), 8) + bigEndian(0, 8) + bigEndian(tableOffset, 8);
    return file;
}

QList<QByteArray> handmadeWith(int index, const QByteArray& object)
{
    QList<QByteArray> objects = handmade();
    objects[index] = object;
    return objects;
}

// The 32-byte trailer: widths at 6 and 7, then object count, top object and table offset.
QByteArray withTrailer(QByteArray file, int position, const QByteArray& bytes)
{
    file.replace(file.size() - 32 + position, bytes.size(), bytes);
    return file;
}

quint64 trailerField(const QByteArray& file, int position)
{
    return qFromBigEndian<quint64>(file.constData() + file.size() - 32 + position);
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
        QTest::newRow("without plain text and bundle identifier") << Entries{sample(0, [](ClipboardEntry& e) {
            e.plainText.reset();
            e.sourceBundleIdentifier.reset();
        })};
        QTest::newRow("non-ASCII strings") << Entries{sample(0, [](ClipboardEntry& e) {
            e.sourceName = u"Éditeur 文字"_s;
            e.title = u"caf\u00E9 \U0001F600"_s;
            e.plainText = u"caf\u00E9 \U0001F600\u2028\u00FF"_s;
            e.sourceBundleIdentifier = u"org.exämple"_s;
            e.items = {item({{u"public.ÿ"_s, "\xFF\x00"}})};
        })};
        QTest::newRow("empty data and empty strings") << Entries{sample(0, [](ClipboardEntry& e) {
            e.sourceName.clear();
            e.title.clear();
            e.plainText = QString();
            e.sourceBundleIdentifier = QString();
            e.items = {item({{PasteboardType::png, QByteArray()}}), item({})};
            e.fingerprint.clear();
        })};
        QTest::newRow("timestamps kept to the last bit")
            << Entries{sample(0, [](ClipboardEntry& e) { e.capturedAt = Timestamp{1e9 + 0.123456789}; }),
                       sample(1, [](ClipboardEntry& e) {
                           e.capturedAt = Timestamp{-978307200.000001};
                           e.lastCopiedAt = Timestamp{0};
                       })};
        QTest::newRow("every kind") << Entries{
            sample(0, [](ClipboardEntry& e) { e.kind = ClipboardKind::link; }),
            sample(1, [](ClipboardEntry& e) { e.kind = ClipboardKind::image; }),
            sample(2, [](ClipboardEntry& e) { e.kind = ClipboardKind::file; })};
        Entries many;
        for (int n = 0; n < 300; ++n)
            many.append(sample(n));
        QTest::newRow("300 entries: 2-byte references") << many;
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
        QVERIFY2(std::holds_alternative<Archive>(decoded), qPrintable(failure(decoded)));
        QCOMPARE(std::get<Archive>(decoded).version, 1);
        QCOMPARE(std::get<Archive>(decoded).entries, entries);

        // Reference and offset widths are the smallest that address every object and offset.
        const auto smallest = [](quint64 limit) { return limit < 256 ? 1 : limit < 65536 ? 2 : 4; };
        QCOMPARE(file[file.size() - 26], char(smallest(trailerField(file, 24))));
        QCOMPARE(file[file.size() - 25], char(smallest(trailerField(file, 8))));

        QCOMPARE(m_plistlib.describe(file), describe(entries));

        const auto fromPlistlib = ArchiveCodec::decode(m_plistlib.write(describe(entries)));
        QVERIFY2(std::holds_alternative<Archive>(fromPlistlib), qPrintable(failure(fromPlistlib)));
        QCOMPARE(std::get<Archive>(fromPlistlib).entries, atMicroseconds(entries));
    }

    void readsOtherWriters_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("version");
        QTest::addColumn<Entries>("entries");

        const Entries two{sample(0), sample(1)};
        QTest::newRow("plistlib, keys in reverse order")
            << m_plistlib.write(describe(two), {u"--reverse-keys"_s}) << qint64(1) << two;
        QTest::newRow("plistlib, 8-byte references and offsets")
            << m_plistlib.write(describe(two), {u"--wide"_s}) << qint64(1) << two;
        QTest::newRow("plistlib, equal items shared between entries")
            << m_plistlib.write(describe(two), {u"--share"_s}) << qint64(1) << two;
        QTest::newRow("plistlib, kind code")
            << m_plistlib.write(sampleWith(u"entries/0/kind"_s, u"code"_s)) << qint64(1) << Entries{sample()};

        QJsonObject extra = sampleWith(u"comment"_s, QJsonArray{true, 1.5, QJsonObject{{u"$date"_s, 0}}});
        extra = patched(extra, u"entries/0/pinned"_s, QJsonObject{{u"$data"_s, u"AAE="_s}});
        extra = patched(extra, u"entries/0/items/0/representations/0/size"_s, 12);
        QTest::newRow("plistlib, unknown keys") << m_plistlib.write(extra) << qint64(1) << Entries{sample()};

        QTest::newRow("version 2") << m_plistlib.write(sampleWith(u"version"_s, 2)) << qint64(2) << Entries{};
        QTest::newRow("version 300, 2-byte integer")
            << m_plistlib.write(sampleWith(u"version"_s, 300)) << qint64(300) << Entries{};
        QTest::newRow("version -1, 8-byte integer")
            << m_plistlib.write(sampleWith(u"version"_s, -1)) << qint64(-1) << Entries{};
        QTest::newRow("version 2, entries not decoded")
            << m_plistlib.write(QJsonObject{{u"version"_s, 2}, {u"entries"_s, u"later"_s}}) << qint64(2)
            << Entries{};

        const ClipboardEntry bare =
            finished(ClipboardEntry{QUuid::fromString(u"6f1c2a3b-4d5e-4f60-8a7b-000000000000"_s),
                                    Timestamp{1.5},
                                    Timestamp{1.5},
                                    {},
                                    ClipboardKind::text,
                                    {},
                                    std::nullopt,
                                    {},
                                    {},
                                    std::nullopt,
                                    {}});
        QTest::newRow("hand-made") << assemble(handmade()) << qint64(1) << Entries{bare};
        QTest::newRow("version as 8-byte integer")
            << assemble(handmadeWith(Version, '\x13' + bigEndian(1, 8))) << qint64(1) << Entries{bare};
        QTest::newRow("version as 16-byte integer")
            << assemble(handmadeWith(Version, '\x14' + bigEndian(0, 8) + bigEndian(1, 8))) << qint64(1)
            << Entries{bare};
        QTest::newRow("UTF-16 key, lower-case UUID") << assemble([] {
            QList<QByteArray> objects = handmadeWith(KindKey, QByteArray("\x64\0k\0i\0n\0d", 9));
            objects[Id] = str("6f1c2a3b-4d5e-4f60-8a7b-000000000000");
            return objects;
        }()) << qint64(1) << Entries{bare};
        QTest::newRow("small count in the long form")
            << assemble(handmadeWith(Kind, QByteArray("\x5F\x10\x04text", 7))) << qint64(1) << Entries{bare};
        QTest::newRow("one entry referred to twice")
            << assemble(handmadeWith(EntryList, array({Entry, Entry}))) << qint64(1) << Entries{bare, bare};
        QTest::newRow("unknown root key with a null value") << assemble([] {
            QList<QByteArray> objects = handmadeWith(
                Root, dict({{VersionKey, Version}, {EntriesKey, EntryList}, {ObjectCount, ObjectCount + 1}}));
            objects << str("other") << QByteArray(1, '\0');
            return objects;
        }()) << qint64(1) << Entries{bare};
    }

    void readsOtherWriters()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, version);
        QFETCH(Entries, entries);

        const auto decoded = ArchiveCodec::decode(file);
        QVERIFY2(std::holds_alternative<Archive>(decoded), qPrintable(failure(decoded)));
        QCOMPARE(std::get<Archive>(decoded).version, version);
        QCOMPARE(std::get<Archive>(decoded).entries, entries);
    }

    void rejects_data()
    {
        QTest::addColumn<QByteArray>("file");
        // Part of the description, or all of it when it starts with "=".
        QTest::addColumn<QString>("error");

        const QByteArray valid = ArchiveCodec::encode({sample(0), sample(1)});
        QTest::newRow("empty") << QByteArray() << u"does not start with bplist00"_s;
        QTest::newRow("XML property list")
            << QByteArray("<?xml version=\"1.0\"?><plist/>") << u"does not start with bplist00"_s;
        QTest::newRow("header only") << QByteArray("bplist00") << u"too short"_s;
        QTest::newRow("last byte cut") << valid.chopped(1) << QString();
        QTest::newRow("cut in half") << valid.left(valid.size() / 2) << QString();
        QByteArray garbage(400, Qt::Uninitialized);
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
        QTest::newRow("garbage after the header") << "bplist00" + garbage << QString();

        QTest::newRow("root is an array") << assemble(handmadeWith(Root, array({})))
                                          << u"=The root object: expected a dictionary, found an array"_s;
        QTest::newRow("version missing") << m_plistlib.write(sampleWith(u"version"_s, QJsonValue::Undefined))
                                         << u"=The root object: missing key \"version\""_s;
        QTest::newRow("entries missing, version 2")
            << m_plistlib.write(QJsonObject{{u"version"_s, 2}}) << u"missing key \"entries\""_s;
        QTest::newRow("version as a string") << m_plistlib.write(sampleWith(u"version"_s, u"1"_s))
                                             << u"version: expected an integer, found a string"_s;
        QTest::newRow("entries as a dictionary") << m_plistlib.write(sampleWith(u"entries"_s, QJsonObject{}))
                                                 << u"=entries: expected an array, found a dictionary"_s;
        QTest::newRow("entry as a string") << m_plistlib.write(sampleWith(u"entries"_s, QJsonArray{u"x"_s}))
                                           << u"=entries[0]: expected a dictionary, found a string"_s;
        QTest::newRow("fingerprint missing")
            << m_plistlib.write(sampleWith(u"entries/0/fingerprint"_s, QJsonValue::Undefined))
            << u"=entries[0]: missing key \"fingerprint\""_s;
        QTest::newRow("capturedAt as a string")
            << m_plistlib.write(sampleWith(u"entries/0/capturedAt"_s, u"today"_s))
            << u"=entries[0].capturedAt: expected a date, found a string"_s;
        QTest::newRow("lastCopiedAt as a real number")
            << m_plistlib.write(sampleWith(u"entries/0/lastCopiedAt"_s, 700000000.5))
            << u"=entries[0].lastCopiedAt: expected a date, found a real number"_s;
        QTest::newRow("title as data")
            << m_plistlib.write(sampleWith(u"entries/0/title"_s, QJsonObject{{u"$data"_s, u""_s}}))
            << u"=entries[0].title: expected a string, found data"_s;
        QTest::newRow("plainText as a boolean")
            << m_plistlib.write(sampleWith(u"entries/0/plainText"_s, true))
            << u"=entries[0].plainText: expected a string, found a boolean"_s;
        QTest::newRow("items as a dictionary")
            << m_plistlib.write(sampleWith(u"entries/0/items"_s, QJsonObject{}))
            << u"=entries[0].items: expected an array, found a dictionary"_s;
        QTest::newRow("data as a string")
            << m_plistlib.write(sampleWith(u"entries/0/items/0/representations/0/data"_s, u"Hello"_s))
            << u"=entries[0].items[0].representations[0].data: expected data, found a string"_s;
        QTest::newRow("type as an integer")
            << m_plistlib.write(sampleWith(u"entries/0/items/0/representations/0/type"_s, 3))
            << u"=entries[0].items[0].representations[0].type: expected a string, found an integer"_s;
        QTest::newRow("unknown kind") << m_plistlib.write(sampleWith(u"entries/0/kind"_s, u"note"_s))
                                      << u"=Unknown clipboard kind: note"_s;
        QTest::newRow("kind in upper case") << m_plistlib.write(sampleWith(u"entries/0/kind"_s, u"TEXT"_s))
                                            << u"=Unknown clipboard kind: TEXT"_s;
        for (const QString& id :
             {u"{6F1C2A3B-4D5E-4F60-8A7B-000000000000}"_s, u"6F1C2A3B4D5E4F608A7B000000000000"_s,
              u"6F1C2A3B-4D5E-4F60-8A7B-00000000000G"_s, u"6F1C2A3B-4D5E-4F608-A7B-000000000000"_s,
              u"6F1C2A3B-4D5E-4F60-8A7B-00000000000"_s}) {
            QTest::addRow("id %s", qPrintable(id)) << m_plistlib.write(sampleWith(u"entries/0/id"_s, id))
                                                   << u"entries[0].id: \"%1\" is not a UUID"_s.arg(id);
        }

        QTest::newRow("entries contain the root")
            << assemble(handmadeWith(EntryList, array({Root}))) << u"=entries[0]: object 0 contains itself"_s;
        QTest::newRow("items contain their entry") << assemble(handmadeWith(ItemList, array({Entry})))
                                                   << u"=entries[0].items[0]: object 5 contains itself"_s;
        QTest::newRow("one entry referred to 40 times")
            << assemble(handmadeWith(EntryList, array(QList<int>(40, Entry)))) << u"repeats its containers"_s;
        QTest::newRow("array of 2^60 elements")
            << assemble(handmadeWith(ItemList, "\xAF\x13" + bigEndian(1ULL << 60, 8)))
            << u"claims 1152921504606846976 elements"_s;
        QTest::newRow("string of 2 GiB") << assemble(handmadeWith(Kind, "\x5F\x12" + bigEndian(1U << 31, 4)))
                                         << u"claims 2147483648 elements"_s;
        QTest::newRow("count that is not an integer")
            << assemble(handmadeWith(Kind, QByteArray("\x5F\x23\x00\x00\x00\x00\x00\x00\x00\x04", 10)))
            << u"malformed count"_s;
        QTest::newRow("reference past the last object")
            << assemble(handmadeWith(ItemList, array({ObjectCount}))) << u"reference to object 19 of 19"_s;
        QTest::newRow("ASCII string with a byte above 0x7F")
            << assemble(handmadeWith(Kind, QByteArray("\x54t\xE9xt", 5)))
            << u"=entries[0].kind: an ASCII string holds bytes above 0x7F"_s;
        QTest::newRow("key twice") << assemble(handmadeWith(Root, dict({{VersionKey, Version},
                                                                        {EntriesKey, EntryList},
                                                                        {VersionKey, Version}})))
                                   << u"key \"version\" appears twice"_s;
        QTest::newRow("key that is not a string")
            << assemble(handmadeWith(Root, dict({{Version, Version}, {EntriesKey, EntryList}})))
            << u"a dictionary key is an integer, not a string"_s;
        QTest::newRow("date marker of another size") << assemble(handmadeWith(Date, QByteArray("\x30\0", 2)))
                                                     << u"expected a date, found a malformed date"_s;

        const QByteArray small = assemble(handmade());
        const quint64 tableOffset = trailerField(small, 24);
        QByteArray outside = small;
        outside[qsizetype(tableOffset) + Kind] = char(tableOffset);
        QTest::newRow("offset into the offset table") << outside << u"object 17 lies at offset"_s;
        QTest::newRow("top object past the last")
            << withTrailer(small, 16, bigEndian(ObjectCount, 8)) << u"top object 19 is not among"_s;
        QTest::newRow("no objects") << withTrailer(small, 8, bigEndian(0, 8))
                                    << u"offset table of 0 objects"_s;
        QTest::newRow("2^62 objects") << withTrailer(small, 8, bigEndian(1ULL << 62, 8))
                                      << u"offset table of 4611686018427387904 objects"_s;
        QTest::newRow("offset table past the end")
            << withTrailer(small, 24, bigEndian(quint64(small.size()), 8)) << u"outside the file"_s;
        QTest::newRow("3-byte references")
            << withTrailer(small, 7, QByteArray(1, '\x03')) << u"references of 3 bytes"_s;
    }

    void rejects()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);

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
