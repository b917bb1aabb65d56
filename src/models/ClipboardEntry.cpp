#include "models/ClipboardEntry.h"

#include "l10n/Localization.h"
#include "models/PasteboardType.h"
#include "models/Sha256.h"
#include "models/TextRules.h"

#include <QHashFunctions>
#include <algorithm>
#include <utility>

namespace {

bool isAscii(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// Types order by the scalar values of their NFC forms; UTF-8 byte order is scalar order.
bool typeLess(const QString& a, const QString& b)
{
    if (isAscii(a) && isAscii(b))
        return a < b;
    return a.normalized(QString::NormalizationForm_C).toUtf8() <
           b.normalized(QString::NormalizationForm_C).toUtf8();
}

std::optional<QUrl> parseUrl(const QString& text)
{
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

// No browser takes longer addresses, and parsing one would stall the GUI thread that draws it.
constexpr qsizetype maxLinkLength = 32 * 1024;

// The address when the text is exactly one web or mail address.
std::optional<QUrl> linkAddress(const QString& text)
{
    const QStringView trimmed = TextRules::trimmedWhitespace(text);
    // A link never contains whitespace; checking that first spares parsing long texts as URLs.
    if (trimmed.size() > maxLinkLength || TextRules::containsWhitespace(trimmed))
        return std::nullopt;
    std::optional<QUrl> url = parseUrl(trimmed.toString());
    if (!url)
        return std::nullopt;
    const QString scheme = url->scheme().toLower();
    const bool webOrMail = scheme == QLatin1StringView("https") || scheme == QLatin1StringView("http") ||
                           scheme == QLatin1StringView("mailto");
    return webOrMail ? url : std::nullopt;
}

bool hasType(const QList<PasteboardItemSnapshot>& items, QLatin1StringView type)
{
    return std::any_of(items.cbegin(), items.cend(),
                       [type](const PasteboardItemSnapshot& item) { return item.data(type).has_value(); });
}

std::optional<QUrl> fileURL(const QByteArray& data)
{
    const std::optional<QString> text = TextRules::decodeUtf8(data);
    if (!text)
        return std::nullopt;
    std::optional<QUrl> url = parseUrl(*text);
    if (url && url->scheme().compare(QLatin1StringView("file"), Qt::CaseInsensitive) == 0)
        return url;
    return std::nullopt;
}

// A local file URL made of unreserved characters and percent escapes only: valid without parsing,
// which counts a list of thousands of files in well under a millisecond.
bool isPlainFileURL(const QByteArray& data)
{
    const QByteArrayView prefix("file:///");
    if (!data.startsWith(prefix))
        return false;
    const auto isHex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    for (qsizetype i = prefix.size(); i < data.size(); ++i) {
        const char c = data[i];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            QByteArrayView("-._~/").contains(c))
            continue;
        if (c == '%' && i + 2 < data.size() && isHex(data[i + 1]) && isHex(data[i + 2])) {
            i += 2;
            continue;
        }
        return false;
    }
    return true;
}

// The first name and the count of the entry's file URLs, without parsing the ones that need none.
std::pair<QString, qsizetype> fileNames(const ClipboardEntry& entry)
{
    QString first;
    qsizetype count = 0;
    for (const PasteboardItemSnapshot& item : entry.items) {
        const std::optional<QByteArray> data = item.data(PasteboardType::fileURL);
        if (!data)
            continue;
        if (count > 0 && isPlainFileURL(*data)) {
            ++count;
        } else if (const std::optional<QUrl> url = fileURL(*data)) {
            if (count++ == 0)
                first = TextRules::lastPathComponent(*url);
        }
    }
    return {first, count};
}

template <typename Text, typename Format>
QString titleOf(const ClipboardEntry& entry, const Text& text, const Format& format)
{
    switch (entry.kind) {
    case ClipboardKind::text:
    case ClipboardKind::link: {
        if (!entry.plainText)
            return text(L10n::Key::richTextTitle);
        const QString line = TextRules::firstLine(*entry.plainText);
        return line.isEmpty() ? text(L10n::Key::kindText) : line;
    }
    case ClipboardKind::image:
        return text(L10n::Key::copiedImage);
    case ClipboardKind::file: {
        const auto [first, count] = fileNames(entry);
        if (count == 0)
            return text(L10n::Key::kindFile);
        if (count == 1)
            return first;
        return format(L10n::Key::multipleFiles, {first, count});
    }
    }
    return QString();
}

template <typename Text> QString sourceNameOf(const ClipboardEntry& entry, const Text& text)
{
    // Older histories stored this placeholder instead of an empty name.
    if (entry.sourceName.isEmpty() || entry.sourceName == QStringLiteral("其他应用"))
        return text(L10n::Key::otherApp);
    return entry.sourceName;
}

} // namespace

DisplayWords DisplayWords::current()
{
    DisplayWords words{{}, AppLocalization::shared().locale()};
    for (L10n::Key key : {L10n::Key::richTextTitle, L10n::Key::kindText, L10n::Key::copiedImage,
                          L10n::Key::kindFile, L10n::Key::multipleFiles, L10n::Key::otherApp})
        words.texts.insert(key, L10n::text(key));
    return words;
}

QString ClipboardEntry::displayTitle() const
{
    return titleOf(*this, &L10n::text,
                   [](L10n::Key key, const QVariantList& arguments) { return L10n::format(key, arguments); });
}

QString ClipboardEntry::displaySourceName() const
{
    return sourceNameOf(*this, &L10n::text);
}

QString ClipboardEntry::displayTitle(const DisplayWords& words) const
{
    const auto text = [&words](L10n::Key key) { return words.texts.value(key); };
    return titleOf(*this, text, [&](L10n::Key key, const QVariantList& arguments) {
        return L10n::fillPlaceholders(text(key), arguments, words.locale);
    });
}

QString ClipboardEntry::displaySourceName(const DisplayWords& words) const
{
    return sourceNameOf(*this, [&words](L10n::Key key) { return words.texts.value(key); });
}

qint64 ClipboardEntry::byteCount() const
{
    qint64 total = 0;
    for (const PasteboardItemSnapshot& item : items) {
        for (const PasteboardRepresentation& representation : item.representations)
            total += representation.data.size();
    }
    return total;
}

QList<QUrl> ClipboardEntry::fileURLs() const
{
    QList<QUrl> urls;
    for (const PasteboardItemSnapshot& item : items) {
        if (const std::optional<QByteArray> data = item.data(PasteboardType::fileURL)) {
            if (std::optional<QUrl> url = fileURL(*data))
                urls.append(std::move(*url));
        }
    }
    return urls;
}

std::optional<QUrl> ClipboardEntry::linkURL() const
{
    if (kind != ClipboardKind::link || !plainText)
        return std::nullopt;
    return linkAddress(*plainText);
}

ClipboardKind ClipboardEntry::textKind(const QString& text)
{
    return linkAddress(text) ? ClipboardKind::link : ClipboardKind::text;
}

ClipboardEntry::Classification ClipboardEntry::classify(const QList<PasteboardItemSnapshot>& items,
                                                        const std::optional<QString>& text)
{
    if (hasType(items, PasteboardType::fileURL)) {
        for (const PasteboardItemSnapshot& item : items) {
            const std::optional<QByteArray> data = item.data(PasteboardType::fileURL);
            if (!data)
                continue;
            const std::optional<QString> decoded = TextRules::decodeUtf8(*data);
            if (!decoded)
                continue;
            if (const std::optional<QUrl> url = parseUrl(*decoded))
                return {ClipboardKind::file, TextRules::lastPathComponent(*url)};
        }
        return {ClipboardKind::file, QString()};
    }
    if (hasType(items, PasteboardType::png) || hasType(items, PasteboardType::tiff))
        return {ClipboardKind::image, QString()};
    if (!text)
        return {ClipboardKind::text, QString()};
    return {textKind(*text), TextRules::firstLine(*text)};
}

QString ClipboardEntry::makeDeduplicationKey(const QString& sourceName,
                                             const std::optional<QString>& sourceBundleIdentifier,
                                             const QString& fingerprint)
{
    const QByteArray identity = sourceBundleIdentifier && !sourceBundleIdentifier->isEmpty()
                                    ? "bundle:" + sourceBundleIdentifier->toUtf8()
                                    : "name:" + sourceName.toUtf8();
    return Sha256::hex(QByteArray::number(identity.size()) + ':' + identity + fingerprint.toUtf8());
}

QString ClipboardEntry::fingerprintOf(const QList<PasteboardItemSnapshot>& items)
{
    Sha256 sha;
    QList<const PasteboardRepresentation*> sorted;
    for (const PasteboardItemSnapshot& item : items) {
        sha.updateField("item");
        sorted.clear();
        for (const PasteboardRepresentation& representation : item.representations)
            sorted.append(&representation);
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const PasteboardRepresentation* a, const PasteboardRepresentation* b) {
                             return typeLess(a->type, b->type);
                         });
        for (const PasteboardRepresentation* representation : sorted) {
            sha.updateField(representation->type.toUtf8());
            sha.updateField(representation->data);
        }
    }
    return sha.finalHex();
}

size_t qHash(const ClipboardEntry& entry, size_t seed) noexcept
{
    return qHashMulti(seed, entry.id, entry.capturedAt.secondsSinceReferenceDate,
                      entry.lastCopiedAt.secondsSinceReferenceDate, entry.sourceName,
                      static_cast<int>(entry.kind), entry.title, entry.plainText.value_or(QString()),
                      entry.plainText.has_value(), entry.items, entry.fingerprint,
                      entry.sourceBundleIdentifier.value_or(QString()), entry.deduplicationKey);
}
