#include "platform/MimeTypeMap.h"

#include "models/PasteboardType.h"
#include "models/TextRules.h"

#include <QUrl>
#include <algorithm>
#include <array>
#include <cstring>

namespace MimeTypeMap {
namespace {

struct Mapping {
    QLatin1StringView type;
    // Preferred first.
    std::array<const char*, 3> targets;
};

constexpr QLatin1StringView mozUrlTarget{"text/x-moz-url"};
constexpr QLatin1StringView copiedFilesTarget{"x-special/gnome-copied-files"};

const std::array<Mapping, 6> dataMappings{{
    {PasteboardType::plainText, {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"}},
    {PasteboardType::rtf, {"text/rtf", "application/rtf", nullptr}},
    {PasteboardType::html, {"text/html", nullptr, nullptr}},
    {PasteboardType::png, {"image/png", nullptr, nullptr}},
    {PasteboardType::tiff, {"image/tiff", nullptr, nullptr}},
    {PasteboardType::url, {"text/x-moz-url", nullptr, nullptr}},
}};

const std::array<const char*, 2> concealedAliases{"x-kde-passwordManagerHint",
                                                  "application/x-nspasteboard-concealed-type"};

enum class UriKind { invalid, file, other };

// Strict parsing, as the entry model parses file URLs; what it cannot use is dropped here.
UriKind uriKind(const QByteArray& uri)
{
    const std::optional<QString> text = TextRules::decodeUtf8(uri);
    if (!text)
        return UriKind::invalid;
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return UriKind::invalid;
    if (url.scheme().compare(QLatin1StringView("file"), Qt::CaseInsensitive) != 0)
        return UriKind::other;
    // A file URI must name an absolute path, and no path holds a NUL.
    const QString path = url.path(QUrl::FullyDecoded);
    if (!path.startsWith(u'/') || path.contains(QChar(u'\0')))
        return UriKind::invalid;
    return UriKind::file;
}

} // namespace

const QList<QByteArray>& knownTargets()
{
    static const QList<QByteArray> targets = [] {
        QList<QByteArray> names;
        for (const Mapping& mapping : dataMappings) {
            for (const char* target : mapping.targets) {
                if (target)
                    names.append(target);
            }
        }
        names.append(QByteArray(uriListTarget.data()));
        for (const QString& excluded : PasteboardType::excludedTypes())
            names.append(excluded.toLatin1());
        for (const char* alias : concealedAliases)
            names.append(alias);
        return names;
    }();
    return targets;
}

ReadPlan plan(const QList<QByteArray>& targets)
{
    ReadPlan result;
    struct Found {
        qsizetype position;
        ReadPlan::Fetch fetch;
    };
    QList<Found> found;

    for (const Mapping& mapping : dataMappings) {
        qsizetype position = -1;
        QByteArray chosen;
        for (const char* target : mapping.targets) {
            if (!target)
                break;
            const qsizetype at = targets.indexOf(QByteArray(target));
            if (at >= 0 && chosen.isEmpty())
                chosen = target;
            if (at >= 0 && (position < 0 || at < position))
                position = at;
        }
        if (!chosen.isEmpty())
            found.append({position, {mapping.type, chosen}});
    }
    if (const qsizetype at = targets.indexOf(QByteArray(uriListTarget.data())); at >= 0)
        found.append({at, {QString(uriListTarget), QByteArray(uriListTarget.data())}});
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.position < b.position; });
    for (const Found& entry : found)
        result.fetches.append(entry.fetch);

    for (const QString& excluded : PasteboardType::excludedTypes()) {
        bool offered = targets.contains(excluded.toLatin1());
        if (excluded == PasteboardType::concealed) {
            offered = offered || std::any_of(concealedAliases.begin(), concealedAliases.end(),
                                             [&](const char* alias) { return targets.contains(alias); });
        }
        if (offered)
            result.excludedTypes.append(excluded);
    }
    result.excludedTypes.sort();
    return result;
}

QList<Item> typesOnly(const ReadPlan& plan)
{
    Item item;
    for (const ReadPlan::Fetch& fetch : plan.fetches) {
        if (fetch.target != uriListTarget.data())
            item.types.append(fetch.type);
    }
    item.types.append(plan.excludedTypes);
    return {item};
}

Read read(const ReadPlan& plan, qint64 sizeLimit,
          const std::function<Fetched(const QByteArray& target, QByteArray& data, qint64 budget)>& fetch)
{
    using enum Read::Outcome;
    if (!plan.excludedTypes.isEmpty())
        return {refused, typesOnly(plan)};
    QHash<QByteArray, QByteArray> fetched;
    qint64 total = 0;
    for (qsizetype i = 0; i < plan.fetches.size(); ++i) {
        const QByteArray& target = plan.fetches[i].target;
        QByteArray data;
        switch (fetch(target, data, sizeLimit - total)) {
        case Fetched::ok:
            break;
        case Fetched::failed:
            continue;
        case Fetched::abandoned:
            return {abandoned, {}};
        }
        total += data.size();
        if (total > sizeLimit) {
            Item item;
            for (qsizetype j = 0; j <= i; ++j) {
                const QByteArray& read = plan.fetches[j].target;
                if (j < i && !fetched.contains(read))
                    continue;
                const QString type =
                    read == uriListTarget.data() ? QString(PasteboardType::fileURL) : plan.fetches[j].type;
                item.types.append(type);
                item.data.insert(type, j == i ? data : fetched.value(read));
            }
            return {refused, {item}};
        }
        fetched.insert(target, data);
    }
    return {complete, assemble(plan, fetched)};
}

QList<Item> assemble(const ReadPlan& plan, const QHash<QByteArray, QByteArray>& fetched)
{
    Item first;
    QList<Item> fileItems;
    QByteArray uriListUrl;
    bool hasMozUrl = false;
    for (const ReadPlan::Fetch& fetch : plan.fetches) {
        const auto data = fetched.constFind(fetch.target);
        if (data == fetched.cend())
            continue;
        if (fetch.target == uriListTarget.data()) {
            QList<QByteArray> fileUris;
            QList<QByteArray> otherUris;
            for (const QByteArray& uri : parseUriList(*data)) {
                switch (uriKind(uri)) {
                case UriKind::file:
                    fileUris.append(uri);
                    break;
                case UriKind::other:
                    otherUris.append(uri);
                    break;
                case UriKind::invalid:
                    break;
                }
            }
            if (!fileUris.isEmpty()) {
                // The first file shares its item with the other representations, in the owner's order.
                first.types.append(PasteboardType::fileURL);
                first.data.insert(PasteboardType::fileURL, fileUris.first());
                for (qsizetype i = 1; i < fileUris.size(); ++i)
                    fileItems.append(
                        Item{{PasteboardType::fileURL}, {{PasteboardType::fileURL, fileUris[i]}}});
            } else if (otherUris.size() == 1) {
                uriListUrl = otherUris.first();
                first.types.append(PasteboardType::url);
            }
            continue;
        }
        if (fetch.target == mozUrlTarget.data()) {
            const QByteArray address = mozUrlAddress(*data);
            if (address.isEmpty())
                continue;
            hasMozUrl = true;
            first.types.append(fetch.type);
            first.data.insert(fetch.type, address);
            continue;
        }
        first.types.append(fetch.type);
        first.data.insert(fetch.type, *data);
    }
    // x-moz-url wins over a lone web address in the uri-list; never list the type twice.
    if (!uriListUrl.isEmpty()) {
        if (hasMozUrl)
            first.types.removeOne(PasteboardType::url);
        else
            first.data.insert(PasteboardType::url, uriListUrl);
    }
    if (first.types.isEmpty() && fileItems.isEmpty())
        return {};
    QList<Item> items{first};
    items.append(fileItems);
    return items;
}

QList<std::pair<QByteArray, QByteArray>> writeTargets(const QList<PasteboardItemSnapshot>& items)
{
    QList<std::pair<QByteArray, QByteArray>> targets;
    const auto add = [&targets](const QByteArray& target, const QByteArray& data) {
        // One selection holds one value per target: the first item's wins, as it does on reading.
        const bool present = std::any_of(targets.cbegin(), targets.cend(),
                                         [&](const auto& existing) { return existing.first == target; });
        if (!present)
            targets.append({target, data});
    };
    QList<QByteArray> fileUris;
    QByteArray webUrl;
    for (const PasteboardItemSnapshot& item : items) {
        for (const PasteboardRepresentation& representation : item.representations) {
            if (representation.type == PasteboardType::fileURL) {
                fileUris.append(representation.data);
                continue;
            }
            if (representation.type == PasteboardType::url) {
                if (webUrl.isEmpty())
                    webUrl = representation.data;
                const QString text = QString::fromUtf8(representation.data);
                add(QByteArray(mozUrlTarget.data()),
                    QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
                continue;
            }
            const auto mapping =
                std::find_if(dataMappings.cbegin(), dataMappings.cend(), [&](const Mapping& m) {
                    return m.type == representation.type && m.type != PasteboardType::url;
                });
            if (mapping == dataMappings.cend()) {
                add(representation.type.toUtf8(), representation.data);
                continue;
            }
            for (const char* target : mapping->targets) {
                if (target)
                    add(QByteArray(target), representation.data);
            }
        }
    }
    if (!fileUris.isEmpty()) {
        add(QByteArray(uriListTarget.data()), fileUris.join("\r\n") + "\r\n");
        // GNOME-family file managers paste files only from this target.
        add(QByteArray(copiedFilesTarget.data()), "copy\n" + fileUris.join('\n'));
        // Without it the toolkit derives plain text from the uri-list, as URIs; paths are what
        // a terminal or a text field wants.
        QStringList paths;
        for (const QByteArray& uri : fileUris) {
            const QUrl url(QString::fromUtf8(uri), QUrl::StrictMode);
            if (url.isValid() && url.isLocalFile())
                paths.append(url.toLocalFile());
        }
        if (!paths.isEmpty()) {
            const auto text = std::find_if(dataMappings.cbegin(), dataMappings.cend(), [](const Mapping& m) {
                return m.type == PasteboardType::plainText;
            });
            for (const char* target : text->targets)
                add(QByteArray(target), paths.join(u'\n').toUtf8());
        }
    } else if (!webUrl.isEmpty()) {
        add(QByteArray(uriListTarget.data()), webUrl + "\r\n");
    }
    return targets;
}

QList<QByteArray> parseUriList(const QByteArray& data)
{
    QList<QByteArray> uris;
    for (QByteArray line : data.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        uris.append(line);
    }
    return uris;
}

QByteArray mozUrlAddress(const QByteArray& data)
{
    QByteArrayView bytes = data;
    // Some owners send UTF-8 instead of the documented UTF-16; a NUL byte tells them apart.
    QString text;
    if (bytes.contains('\0')) {
        if (bytes.size() >= 2 && static_cast<uchar>(bytes[0]) == 0xFF && static_cast<uchar>(bytes[1]) == 0xFE)
            bytes = bytes.sliced(2);
        text.resize(bytes.size() / 2);
        std::memcpy(text.data(), bytes.data(), static_cast<size_t>(text.size()) * 2);
    } else {
        text = QString::fromUtf8(bytes);
    }
    const qsizetype end = text.indexOf(u'\n');
    return text.first(end < 0 ? text.size() : end).remove(u'\r').trimmed().toUtf8();
}

} // namespace MimeTypeMap
