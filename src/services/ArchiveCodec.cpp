#include "services/ArchiveCodec.h"

#include <QHash>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

using namespace Qt::StringLiterals;

namespace ArchiveCodec {
namespace {

// Apple's binary property list: the header, the objects, a table of their offsets, a fixed trailer.
constexpr QByteArrayView magic{"bplist00"};
constexpr quint64 magicSize = 8;
constexpr quint64 trailerSize = 32;

// The high nibble of an object's marker byte.
enum ObjectType : quint8 {
    simpleType = 0x0,
    integerType = 0x1,
    realType = 0x2,
    dateType = 0x3,
    dataType = 0x4,
    asciiType = 0x5,
    utf16Type = 0x6,
    uidType = 0x8,
    arrayType = 0xA,
    setType = 0xC,
    dictType = 0xD,
};
constexpr quint8 dateMarker = 0x33;
// A low nibble of 0xF means the count follows as an integer object.
constexpr quint8 extendedCount = 0xF;

enum class Key : quint8 {
    version,
    entries,
    id,
    capturedAt,
    lastCopiedAt,
    sourceName,
    kind,
    title,
    plainText,
    items,
    fingerprint,
    sourceBundleIdentifier,
    representations,
    type,
    data,
};
constexpr std::array keyNames{
    QLatin1StringView("version"),
    QLatin1StringView("entries"),
    QLatin1StringView("id"),
    QLatin1StringView("capturedAt"),
    QLatin1StringView("lastCopiedAt"),
    QLatin1StringView("sourceName"),
    QLatin1StringView("kind"),
    QLatin1StringView("title"),
    QLatin1StringView("plainText"),
    QLatin1StringView("items"),
    QLatin1StringView("fingerprint"),
    QLatin1StringView("sourceBundleIdentifier"),
    QLatin1StringView("representations"),
    QLatin1StringView("type"),
    QLatin1StringView("data"),
};

constexpr QLatin1StringView nameOf(Key key)
{
    return keyNames[static_cast<size_t>(key)];
}

// The smallest of the format's widths (1, 2, 4 or 8 bytes) that holds every value below `limit`,
// which is also what Apple's reader demands of the reference and offset widths.
unsigned byteWidth(quint64 limit)
{
    if (limit < (1ULL << 8))
        return 1;
    if (limit < (1ULL << 16))
        return 2;
    if (limit < (1ULL << 32))
        return 4;
    return 8;
}

quint64 readUnsigned(const uchar* bytes, unsigned width)
{
    switch (width) {
    case 1:
        return bytes[0];
    case 2:
        return qFromBigEndian<quint16>(bytes);
    case 4:
        return qFromBigEndian<quint32>(bytes);
    default:
        return qFromBigEndian<quint64>(bytes);
    }
}

void writeUnsigned(char* out, quint64 value, unsigned width)
{
    switch (width) {
    case 1:
        *out = static_cast<char>(value);
        break;
    case 2:
        qToBigEndian(static_cast<quint16>(value), out);
        break;
    case 4:
        qToBigEndian(static_cast<quint32>(value), out);
        break;
    default:
        qToBigEndian(value, out);
        break;
    }
}

// Without an early exit the loop vectorizes, which matters for long plain texts.
bool isAscii(QStringView text)
{
    char16_t bits = 0;
    for (const QChar c : text)
        bits |= c.unicode();
    return bits < 0x80;
}

bool isAscii(const uchar* bytes, quint64 size)
{
    uchar bits = 0;
    for (quint64 i = 0; i < size; ++i)
        bits |= bytes[i];
    return bits < 0x80;
}

// ---------------------------------------------------------------------------------------------
// Writer

quint64 integerSize(quint64 value)
{
    return 1 + byteWidth(value);
}

quint64 headerSize(quint64 count)
{
    return count < extendedCount ? 1 : 1 + integerSize(count);
}

// First pass: the object count decides the reference width, so sizes are summed apart from references.
struct Measure {
    quint64 bytes = 0;
    quint64 references = 0;

    void ascii(QLatin1StringView text) { add(headerSize(quint64(text.size())) + quint64(text.size())); }
    void string(QStringView text)
    {
        const auto size = quint64(text.size());
        add(headerSize(size) + (isAscii(text) ? size : 2 * size));
    }
    void data(QByteArrayView content) { add(headerSize(quint64(content.size())) + quint64(content.size())); }
    void date(double) { add(9); }
    void integer(quint64 value) { add(integerSize(value)); }
    void array(std::span<const quint64> refs)
    {
        add(headerSize(refs.size()));
        references += refs.size();
    }
    void dict(std::span<const quint64> keys, std::span<const quint64>)
    {
        add(headerSize(keys.size()));
        references += 2 * keys.size();
    }

private:
    void add(quint64 size) { bytes += size; }
};

// Second pass: every object straight into the final buffer, its offset straight into the table.
class Emit {
public:
    Emit(char* file, quint64 tableOffset, unsigned offsetWidth, unsigned refWidth)
        : m_file(file), m_out(file + magicSize), m_table(file + tableOffset), m_offsetWidth(offsetWidth),
          m_refWidth(refWidth)
    {
    }

    const char* end() const { return m_out; }

    void ascii(QLatin1StringView text)
    {
        start();
        header(asciiType, quint64(text.size()));
        copy(text.data(), text.size());
    }
    void string(QStringView text)
    {
        start();
        const qsizetype size = text.size();
        if (isAscii(text)) {
            header(asciiType, quint64(size));
            for (qsizetype i = 0; i < size; ++i)
                m_out[i] = static_cast<char>(text[i].unicode());
            m_out += size;
        } else {
            header(utf16Type, quint64(size));
            qToBigEndian<quint16>(text.utf16(), size, m_out);
            m_out += 2 * size;
        }
    }
    void data(QByteArrayView bytes)
    {
        start();
        header(dataType, quint64(bytes.size()));
        copy(bytes.data(), bytes.size());
    }
    void date(double seconds)
    {
        start();
        *m_out++ = static_cast<char>(dateMarker);
        qToBigEndian(std::bit_cast<quint64>(seconds), m_out);
        m_out += 8;
    }
    void integer(quint64 value)
    {
        start();
        writeInteger(value);
    }
    void array(std::span<const quint64> refs)
    {
        start();
        header(arrayType, refs.size());
        references(refs);
    }
    void dict(std::span<const quint64> keys, std::span<const quint64> values)
    {
        start();
        header(dictType, keys.size());
        references(keys);
        references(values);
    }

private:
    void start()
    {
        writeUnsigned(m_table, quint64(m_out - m_file), m_offsetWidth);
        m_table += m_offsetWidth;
    }
    void header(quint8 type, quint64 count)
    {
        if (count < extendedCount) {
            *m_out++ = static_cast<char>(type << 4 | count);
        } else {
            *m_out++ = static_cast<char>(type << 4 | extendedCount);
            writeInteger(count);
        }
    }
    void writeInteger(quint64 value)
    {
        const unsigned width = byteWidth(value);
        *m_out++ = static_cast<char>(integerType << 4 | std::countr_zero(width));
        writeUnsigned(m_out, value, width);
        m_out += width;
    }
    void references(std::span<const quint64> refs)
    {
        for (const quint64 ref : refs) {
            writeUnsigned(m_out, ref, m_refWidth);
            m_out += m_refWidth;
        }
    }
    void copy(const char* bytes, qsizetype size)
    {
        if (size > 0)
            std::memcpy(m_out, bytes, size_t(size));
        m_out += size;
    }

    char* m_file;
    char* m_out;
    char* m_table;
    unsigned m_offsetWidth;
    unsigned m_refWidth;
};

// Walks the entries children first, so that every container's references are known when it is
// written; both passes run the same walk and so number the objects alike. The root comes last.
template <typename Sink> class Flattener {
public:
    explicit Flattener(Sink& sink) : m_sink(sink) {}

    quint64 objectCount() const { return m_next; }

    quint64 archive(const QList<ClipboardEntry>& entries)
    {
        std::vector<quint64> entryRefs;
        entryRefs.reserve(size_t(entries.size()));
        for (const ClipboardEntry& entry : entries)
            entryRefs.push_back(this->entry(entry));
        Fields root;
        const quint64 list = array(entryRefs);
        m_sink.integer(quint64(currentVersion));
        field(root, Key::version, m_next++);
        field(root, Key::entries, list);
        return dict(root);
    }

private:
    struct Fields {
        std::array<quint64, 10> keys{};
        std::array<quint64, 10> values{};
        size_t size = 0;
    };

    quint64 entry(const ClipboardEntry& entry)
    {
        Fields fields;
        std::array<char, 36> id{};
        writeUuid(entry.id, id.data());
        m_sink.ascii(QLatin1StringView(id.data(), qsizetype(id.size())));
        field(fields, Key::id, m_next++);
        field(fields, Key::capturedAt, date(entry.capturedAt));
        field(fields, Key::lastCopiedAt, date(entry.lastCopiedAt));
        field(fields, Key::sourceName, string(entry.sourceName));
        field(fields, Key::kind, string(ClipboardKinds::rawValue(entry.kind)));
        field(fields, Key::title, string(entry.title));
        if (entry.plainText)
            field(fields, Key::plainText, string(*entry.plainText));
        m_itemRefs.clear();
        for (const PasteboardItemSnapshot& item : entry.items)
            m_itemRefs.push_back(this->item(item));
        field(fields, Key::items, array(m_itemRefs));
        field(fields, Key::fingerprint, string(entry.fingerprint));
        if (entry.sourceBundleIdentifier)
            field(fields, Key::sourceBundleIdentifier, string(*entry.sourceBundleIdentifier));
        return dict(fields);
    }

    quint64 item(const PasteboardItemSnapshot& item)
    {
        m_representationRefs.clear();
        for (const PasteboardRepresentation& representation : item.representations) {
            Fields fields;
            field(fields, Key::type, string(representation.type));
            m_sink.data(representation.data);
            field(fields, Key::data, m_next++);
            m_representationRefs.push_back(dict(fields));
        }
        Fields fields;
        field(fields, Key::representations, array(m_representationRefs));
        return dict(fields);
    }

    void field(Fields& fields, Key key, quint64 value)
    {
        std::optional<quint64>& keyRef = m_keyRefs[size_t(key)];
        if (!keyRef) {
            m_sink.ascii(nameOf(key));
            keyRef = m_next++;
        }
        fields.keys[fields.size] = *keyRef;
        fields.values[fields.size] = value;
        ++fields.size;
    }

    // Names, kinds and type identifiers repeat from entry to entry and are written once, as
    // Apple's encoder does; long texts rarely repeat and are not worth hashing.
    quint64 string(const QString& text)
    {
        constexpr qsizetype longestShared = 256;
        if (text.size() > longestShared) {
            m_sink.string(text);
            return m_next++;
        }
        if (const auto found = m_strings.constFind(text); found != m_strings.cend())
            return *found;
        m_sink.string(text);
        m_strings.insert(text, m_next);
        return m_next++;
    }

    quint64 date(Timestamp timestamp)
    {
        m_sink.date(timestamp.secondsSinceReferenceDate);
        return m_next++;
    }

    quint64 array(const std::vector<quint64>& refs)
    {
        m_sink.array(refs);
        return m_next++;
    }

    quint64 dict(const Fields& fields)
    {
        m_sink.dict(std::span(fields.keys).first(fields.size), std::span(fields.values).first(fields.size));
        return m_next++;
    }

    // Upper-case 8-4-4-4-12, the form Apple's UUID encodes as.
    static void writeUuid(const QUuid& id, char* out)
    {
        constexpr char digits[] = "0123456789ABCDEF";
        std::array<uchar, 16> bytes{};
        qToBigEndian(id.data1, bytes.data());
        qToBigEndian(id.data2, bytes.data() + 4);
        qToBigEndian(id.data3, bytes.data() + 6);
        std::memcpy(bytes.data() + 8, id.data4, 8);
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10)
                *out++ = '-';
            *out++ = digits[bytes[i] >> 4];
            *out++ = digits[bytes[i] & 0xF];
        }
    }

    Sink& m_sink;
    quint64 m_next = 0;
    std::array<std::optional<quint64>, keyNames.size()> m_keyRefs;
    QHash<QString, quint64> m_strings;
    std::vector<quint64> m_itemRefs;
    std::vector<quint64> m_representationRefs;
};

// ---------------------------------------------------------------------------------------------
// Reader

struct Failure {
    QString description;
};

// Counts are bounded by the file size only; reserve what a real history needs and let larger lists grow.
constexpr quint64 reserveLimit = 256;

// Reads the archive's schema and nothing else, so it walks at most seven containers deep.
class Reader {
public:
    explicit Reader(QByteArrayView file)
        : m_bytes(reinterpret_cast<const uchar*>(file.data())), m_size(quint64(file.size()))
    {
    }

    Archive read()
    {
        readTrailer();
        const Object root = container(m_top, dictType, {});
        const Descent descent(*this, m_top);
        const auto fields = lookup(root, std::array{Key::version, Key::entries});
        const quint64 versionRef = required(fields[0], Key::version);
        const quint64 entriesRef = required(fields[1], Key::entries);

        Archive archive;
        archive.version = integer(versionRef, Key::version);
        if (archive.version != currentVersion)
            return archive;
        archive.entries = list<ClipboardEntry>(entriesRef, Key::entries, m_entry,
                                               [this](quint64 ref) { return entry(ref); });
        return archive;
    }

private:
    struct Object {
        quint64 index = 0;
        quint8 marker = 0;
        // Bytes, UTF-16 code units, elements or key-value pairs, as the type has it.
        quint64 count = 0;
        quint64 payload = 0;

        quint8 type() const { return marker >> 4; }
    };

    // The containers being read, innermost last: a reference back to one of them is a cycle.
    class Descent {
    public:
        Descent(Reader& reader, quint64 index) : m_reader(reader) { reader.enter(index); }
        ~Descent() { --m_reader.m_depth; }
        Descent(const Descent&) = delete;
        Descent& operator=(const Descent&) = delete;

    private:
        Reader& m_reader;
    };

    void readTrailer()
    {
        if (m_size < magicSize || QByteArrayView(m_bytes, qsizetype(magicSize)) != magic)
            fail(u"The file is not a binary property list: it does not start with bplist00."_s);
        if (m_size < magicSize + trailerSize + 2)
            fail(u"The file is too short to be a binary property list (%1 bytes)."_s.arg(m_size));
        const uchar* trailer = m_bytes + m_size - trailerSize;
        m_offsetWidth = trailer[6];
        m_refWidth = trailer[7];
        m_objectCount = qFromBigEndian<quint64>(trailer + 8);
        m_top = qFromBigEndian<quint64>(trailer + 16);
        m_tableOffset = qFromBigEndian<quint64>(trailer + 24);

        const auto validWidth = [](unsigned width) {
            return width == 1 || width == 2 || width == 4 || width == 8;
        };
        if (!validWidth(m_offsetWidth) || !validWidth(m_refWidth))
            fail(u"The trailer gives offsets of %1 bytes and references of %2 bytes."_s.arg(m_offsetWidth)
                     .arg(m_refWidth));
        const quint64 tableSpace = m_size - trailerSize;
        if (m_tableOffset <= magicSize || m_tableOffset > tableSpace)
            fail(u"The offset table starts at %1, outside the file of %2 bytes."_s.arg(m_tableOffset)
                     .arg(m_size));
        if (m_objectCount == 0 || m_objectCount > (tableSpace - m_tableOffset) / m_offsetWidth)
            fail(u"An offset table of %1 objects does not fit in the file."_s.arg(m_objectCount));
        if (m_top >= m_objectCount)
            fail(u"The top object %1 is not among the %2 objects."_s.arg(m_top).arg(m_objectCount));
        if (byteWidth(m_objectCount) > m_refWidth || byteWidth(m_tableOffset) > m_offsetWidth)
            fail(u"References of %1 bytes or offsets of %2 bytes are too narrow for the file."_s
                     .arg(m_refWidth)
                     .arg(m_offsetWidth));
        // Without shared containers no reference slot is read twice, so this bounds the work on
        // files whose references fan out to the same containers over and over.
        m_referenceBudget = (m_tableOffset - magicSize) / m_refWidth;
    }

    // Where the reader is, for error messages: entries[2].items[0].representations[1].data.
    QString path(std::optional<Key> key) const
    {
        QString path;
        if (m_entry >= 0)
            path += u"entries[%1]"_s.arg(m_entry);
        if (m_item >= 0)
            path += u".items[%1]"_s.arg(m_item);
        if (m_representation >= 0)
            path += u".representations[%1]"_s.arg(m_representation);
        if (key) {
            if (!path.isEmpty())
                path += u'.';
            path += nameOf(*key);
        }
        return path.isEmpty() ? u"The root object"_s : path;
    }

    [[noreturn]] static void fail(QString description) { throw Failure{std::move(description)}; }

    [[noreturn]] void fail(std::optional<Key> key, const QString& problem) const
    {
        fail(path(key) + u": "_s + problem);
    }

    static QString typeName(quint8 marker)
    {
        switch (marker >> 4) {
        case simpleType:
            if (marker == 0x00)
                return u"null"_s;
            if (marker == 0x08 || marker == 0x09)
                return u"a boolean"_s;
            break;
        case integerType:
            return (marker & 0xF) <= 4 ? u"an integer"_s : u"a malformed integer"_s;
        case realType:
            return u"a real number"_s;
        case dateType:
            return marker == dateMarker ? u"a date"_s : u"a malformed date"_s;
        case dataType:
            return u"data"_s;
        case asciiType:
        case utf16Type:
            return u"a string"_s;
        case uidType:
            return u"a UID"_s;
        case arrayType:
            return u"an array"_s;
        case setType:
            return u"a set"_s;
        case dictType:
            return u"a dictionary"_s;
        default:
            break;
        }
        return u"an unknown object (marker 0x%1)"_s.arg(uint(marker), 2, 16, QChar(u'0'));
    }

    [[noreturn]] void wrongType(std::optional<Key> key, const Object& object, const QString& expected) const
    {
        fail(key, u"expected %1, found %2"_s.arg(expected, typeName(object.marker)));
    }

    void need(quint64 position, quint64 size, quint64 index) const
    {
        if (size > m_tableOffset - position)
            fail(std::nullopt, u"object %1 runs past the end of the object area"_s.arg(index));
    }

    // The object's marker and, for the types with a length, its checked count and payload.
    Object object(quint64 index) const
    {
        const quint64 offset = readUnsigned(m_bytes + m_tableOffset + index * m_offsetWidth, m_offsetWidth);
        if (offset < magicSize || offset >= m_tableOffset)
            fail(std::nullopt,
                 u"object %1 lies at offset %2, outside the object area"_s.arg(index).arg(offset));
        Object object{index, m_bytes[offset], 0, offset + 1};
        quint64 unit = 0;
        switch (object.type()) {
        case dataType:
        case asciiType:
            unit = 1;
            break;
        case utf16Type:
            unit = 2;
            break;
        case arrayType:
            unit = m_refWidth;
            break;
        case dictType:
            unit = 2 * quint64(m_refWidth);
            break;
        default:
            return object;
        }
        object.count = object.marker & 0xF;
        if (object.count == extendedCount) {
            need(object.payload, 1, index);
            const quint8 countMarker = m_bytes[object.payload++];
            if (countMarker >> 4 != integerType || (countMarker & 0xF) > 3)
                fail(std::nullopt, u"object %1 has a malformed count"_s.arg(index));
            const unsigned width = 1U << (countMarker & 0xF);
            need(object.payload, width, index);
            object.count = readUnsigned(m_bytes + object.payload, width);
            object.payload += width;
        }
        if (object.count > (m_tableOffset - object.payload) / unit)
            fail(std::nullopt,
                 u"object %1 claims %2 elements, more than the file holds"_s.arg(index).arg(object.count));
        return object;
    }

    quint64 readReference(quint64 position)
    {
        if (++m_referencesRead > m_referenceBudget)
            fail(std::nullopt, u"the archive refers to its containers more often than its size allows"_s);
        const quint64 ref = readUnsigned(m_bytes + position, m_refWidth);
        if (ref >= m_objectCount)
            fail(std::nullopt, u"reference to object %1 of %2"_s.arg(ref).arg(m_objectCount));
        return ref;
    }

    void enter(quint64 index)
    {
        if (std::find(m_path.begin(), m_path.begin() + m_depth, index) != m_path.begin() + m_depth)
            fail(std::nullopt, u"object %1 contains itself"_s.arg(index));
        if (++m_containersRead > m_objectCount)
            fail(std::nullopt, u"the archive repeats its containers more often than it has objects"_s);
        Q_ASSERT(m_depth < m_path.size());
        m_path[m_depth++] = index;
    }

    Object container(quint64 index, ObjectType type, std::optional<Key> key) const
    {
        const Object object = this->object(index);
        if (object.type() != type)
            wrongType(key, object, type == dictType ? u"a dictionary"_s : u"an array"_s);
        return object;
    }

    quint64 required(std::optional<quint64> ref, Key key) const
    {
        if (!ref)
            fail(std::nullopt, u"missing key \"%1\""_s.arg(nameOf(key)));
        return *ref;
    }

    static bool keyEquals(const uchar* bytes, const Object& key, QLatin1StringView name)
    {
        if (key.count != quint64(name.size()))
            return false;
        if (key.type() == asciiType)
            return std::memcmp(bytes + key.payload, name.data(), size_t(name.size())) == 0;
        for (qsizetype i = 0; i < name.size(); ++i) {
            if (qFromBigEndian<quint16>(bytes + key.payload + 2 * quint64(i)) != quint16(name[i].unicode()))
                return false;
        }
        return true;
    }

    // The value references of the wanted keys, in the order asked; other keys are skipped.
    template <size_t N>
    std::array<std::optional<quint64>, N> lookup(const Object& dict, const std::array<Key, N>& wanted)
    {
        std::array<std::optional<quint64>, N> values;
        for (quint64 i = 0; i < dict.count; ++i) {
            const Object key = object(readReference(dict.payload + i * m_refWidth));
            if (key.type() != asciiType && key.type() != utf16Type)
                fail(std::nullopt, u"a dictionary key is %1, not a string"_s.arg(typeName(key.marker)));
            for (size_t k = 0; k < N; ++k) {
                if (!keyEquals(m_bytes, key, nameOf(wanted[k])))
                    continue;
                if (values[k])
                    fail(std::nullopt, u"key \"%1\" appears twice"_s.arg(nameOf(wanted[k])));
                values[k] = readReference(dict.payload + (dict.count + i) * m_refWidth);
                break;
            }
        }
        return values;
    }

    // An array of elements read by `element`, with `index` naming the element in error messages.
    template <typename T, typename Read> QList<T> list(quint64 ref, Key key, qint64& index, Read element)
    {
        const Object array = container(ref, arrayType, key);
        const Descent descent(*this, ref);
        QList<T> elements;
        elements.reserve(qsizetype(std::min(array.count, reserveLimit)));
        for (quint64 i = 0; i < array.count; ++i) {
            index = qint64(i);
            elements.append(element(readReference(array.payload + i * m_refWidth)));
        }
        index = -1;
        return elements;
    }

    ClipboardEntry entry(quint64 ref)
    {
        const Object dict = container(ref, dictType, {});
        const Descent descent(*this, ref);
        const auto fields =
            lookup(dict, std::array{Key::id, Key::capturedAt, Key::lastCopiedAt, Key::sourceName, Key::kind,
                                    Key::title, Key::plainText, Key::items, Key::fingerprint,
                                    Key::sourceBundleIdentifier});
        ClipboardEntry entry;
        entry.id = uuid(required(fields[0], Key::id));
        entry.capturedAt = date(required(fields[1], Key::capturedAt), Key::capturedAt);
        entry.lastCopiedAt = date(required(fields[2], Key::lastCopiedAt), Key::lastCopiedAt);
        entry.sourceName = string(required(fields[3], Key::sourceName), Key::sourceName);
        const QString kind = string(required(fields[4], Key::kind), Key::kind);
        const std::optional<ClipboardKind> decodedKind = ClipboardKinds::fromRawValue(kind);
        if (!decodedKind)
            fail(u"Unknown clipboard kind: "_s + kind);
        entry.kind = *decodedKind;
        entry.title = string(required(fields[5], Key::title), Key::title);
        if (fields[6])
            entry.plainText = string(*fields[6], Key::plainText);
        entry.items = list<PasteboardItemSnapshot>(required(fields[7], Key::items), Key::items, m_item,
                                                   [this](quint64 item) { return this->item(item); });
        entry.fingerprint = string(required(fields[8], Key::fingerprint), Key::fingerprint);
        if (fields[9])
            entry.sourceBundleIdentifier = string(*fields[9], Key::sourceBundleIdentifier);
        entry.deduplicationKey = ClipboardEntry::makeDeduplicationKey(
            entry.sourceName, entry.sourceBundleIdentifier, entry.fingerprint);
        return entry;
    }

    PasteboardItemSnapshot item(quint64 ref)
    {
        const Object dict = container(ref, dictType, {});
        const Descent descent(*this, ref);
        const auto fields = lookup(dict, std::array{Key::representations});
        return PasteboardItemSnapshot{list<PasteboardRepresentation>(
            required(fields[0], Key::representations), Key::representations, m_representation,
            [this](quint64 representation) { return this->representation(representation); })};
    }

    PasteboardRepresentation representation(quint64 ref)
    {
        const Object dict = container(ref, dictType, {});
        const Descent descent(*this, ref);
        const auto fields = lookup(dict, std::array{Key::type, Key::data});
        PasteboardRepresentation representation;
        representation.type = string(required(fields[0], Key::type), Key::type);
        representation.data = data(required(fields[1], Key::data));
        return representation;
    }

    qint64 integer(quint64 ref, Key key) const
    {
        const Object object = this->object(ref);
        const unsigned log2Width = object.marker & 0xF;
        if (object.type() != integerType || log2Width > 4)
            wrongType(key, object, u"an integer"_s);
        const unsigned width = 1U << log2Width;
        need(object.payload, width, ref);
        const uchar* bytes = m_bytes + object.payload;
        if (width < 8)
            return qint64(readUnsigned(bytes, width));
        // Eight bytes are signed; sixteen are written only for values beyond the signed 64-bit range.
        if (width == 16) {
            const auto low = qFromBigEndian<qint64>(bytes + 8);
            if (qFromBigEndian<qint64>(bytes) != (low < 0 ? -1 : 0))
                fail(key, u"the integer does not fit in 64 bits"_s);
            bytes += 8;
        }
        return qFromBigEndian<qint64>(bytes);
    }

    Timestamp date(quint64 ref, Key key) const
    {
        const Object object = this->object(ref);
        if (object.marker != dateMarker)
            wrongType(key, object, u"a date"_s);
        need(object.payload, 8, ref);
        return Timestamp{std::bit_cast<double>(qFromBigEndian<quint64>(m_bytes + object.payload))};
    }

    // Strings and data are kept per object: the encoder shares equal values between entries.
    QString string(quint64 ref, Key key)
    {
        if (const auto found = m_strings.constFind(ref); found != m_strings.cend())
            return *found;
        const Object object = this->object(ref);
        const uchar* bytes = m_bytes + object.payload;
        QString text;
        if (object.type() == asciiType) {
            if (!isAscii(bytes, object.count))
                fail(key, u"an ASCII string holds bytes above 0x7F"_s);
            text = QString::fromLatin1(reinterpret_cast<const char*>(bytes), qsizetype(object.count));
        } else if (object.type() == utf16Type) {
            text = QString(qsizetype(object.count), Qt::Uninitialized);
            qFromBigEndian<quint16>(bytes, qsizetype(object.count), text.data());
        } else {
            wrongType(key, object, u"a string"_s);
        }
        m_strings.insert(ref, text);
        return text;
    }

    QByteArray data(quint64 ref)
    {
        if (const auto found = m_data.constFind(ref); found != m_data.cend())
            return *found;
        const Object object = this->object(ref);
        if (object.type() != dataType)
            wrongType(Key::data, object, u"data"_s);
        QByteArray bytes(reinterpret_cast<const char*>(m_bytes + object.payload), qsizetype(object.count));
        m_data.insert(ref, bytes);
        return bytes;
    }

    // Only the canonical 36-character form, in either case.
    QUuid uuid(quint64 ref)
    {
        const QString text = string(ref, Key::id);
        std::array<uchar, 16> bytes{};
        bool valid = text.size() == 36;
        for (qsizetype i = 0, nibble = 0; valid && i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (i == 8 || i == 13 || i == 18 || i == 23) {
                valid = c == u'-';
                continue;
            }
            int value = -1;
            if (c >= u'0' && c <= u'9')
                value = c - u'0';
            else if (c >= u'a' && c <= u'f')
                value = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F')
                value = c - u'A' + 10;
            valid = value >= 0;
            if (!valid)
                break;
            bytes[size_t(nibble / 2)] |= static_cast<uchar>(nibble % 2 == 0 ? value << 4 : value);
            ++nibble;
        }
        if (!valid)
            fail(Key::id, u"\"%1\" is not a UUID"_s.arg(text.left(64)));
        return QUuid::fromRfc4122(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }

    const uchar* m_bytes;
    quint64 m_size;
    unsigned m_offsetWidth = 0;
    unsigned m_refWidth = 0;
    quint64 m_objectCount = 0;
    quint64 m_top = 0;
    quint64 m_tableOffset = 0;

    quint64 m_referenceBudget = 0;
    quint64 m_referencesRead = 0;
    quint64 m_containersRead = 0;
    // root, entries, entry, items, item, representations, representation
    std::array<quint64, 7> m_path{};
    size_t m_depth = 0;

    qint64 m_entry = -1;
    qint64 m_item = -1;
    qint64 m_representation = -1;

    QHash<quint64, QString> m_strings;
    QHash<quint64, QByteArray> m_data;
};

// The output is written once, front to back. Asking for transparent huge pages turns the first-touch
// page faults of a 64 MiB archive from 16384 into a few dozen, which is most of the encoding time.
void adviseHugePages(char* begin, quint64 size)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr quintptr hugePage = 2 * 1024 * 1024;
    const auto start = reinterpret_cast<quintptr>(begin);
    const quintptr first = (start + hugePage - 1) & ~(hugePage - 1);
    const quintptr last = (start + size) & ~(hugePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(begin);
    Q_UNUSED(size);
#endif
}

} // namespace

QByteArray encode(const QList<ClipboardEntry>& entries)
{
    Measure measure;
    Flattener<Measure> plan(measure);
    plan.archive(entries);

    const quint64 objectCount = plan.objectCount();
    const unsigned refWidth = byteWidth(objectCount);
    const quint64 tableOffset = magicSize + measure.bytes + measure.references * refWidth;
    const unsigned offsetWidth = byteWidth(tableOffset);
    const quint64 size = tableOffset + objectCount * offsetWidth + trailerSize;

    QByteArray file(qsizetype(size), Qt::Uninitialized);
    char* out = file.data();
    adviseHugePages(out, size);
    std::memcpy(out, magic.data(), magicSize);
    Emit sink(out, tableOffset, offsetWidth, refWidth);
    Flattener<Emit> writer(sink);
    const quint64 top = writer.archive(entries);
    Q_ASSERT(sink.end() == out + tableOffset);

    char* trailer = out + size - trailerSize;
    std::memset(trailer, 0, 6);
    trailer[6] = static_cast<char>(offsetWidth);
    trailer[7] = static_cast<char>(refWidth);
    qToBigEndian(objectCount, trailer + 8);
    qToBigEndian(top, trailer + 16);
    qToBigEndian(tableOffset, trailer + 24);
    return file;
}

std::variant<Archive, DecodingError> decode(QByteArrayView file)
{
    try {
        return Reader(file).read();
    } catch (const Failure& failure) {
        return DecodingError{failure.description};
    }
}

} // namespace ArchiveCodec
