#pragma once

#include "models/PasteboardItemSnapshot.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

// How the clipboard's MIME types (X11 selection targets, Wayland offers) map onto pasteboard type
// identifiers, in both directions. One table decides for every backend.
namespace MimeTypeMap {

inline constexpr QLatin1StringView uriListTarget{"text/uri-list"};

// One pasteboard item as read from the selection.
struct Item {
    QStringList types;
    QHash<QString, QByteArray> data;

    friend bool operator==(const Item&, const Item&) = default;
};

struct ReadPlan {
    struct Fetch {
        QString type;
        QByteArray target;
        friend bool operator==(const Fetch&, const Fetch&) = default;
    };
    // Types to fetch, each with the preferred target the owner offers, in the owner's order.
    // The uri-list appears under its own target name; it expands into items after fetching.
    QList<Fetch> fetches;
    // Marker types the owner offers; any of them means the copy must not be read at all.
    QStringList excludedTypes;
};

// Every target name that plan() looks at. Other targets can be dropped unnamed before planning.
const QList<QByteArray>& knownTargets();

ReadPlan plan(const QList<QByteArray>& targets);

// Assembles items from the fetched data (target -> bytes; missing targets could not be read).
// Valid file URIs of a uri-list become one item each; the other representations stay on the first.
// Malformed URIs are dropped.
QList<Item> assemble(const ReadPlan& plan, const QHash<QByteArray, QByteArray>& fetched);

// The items of a copy that carries a marker type: the types only, no data.
QList<Item> typesOnly(const ReadPlan& plan);

// How reading one copy ended.
struct Read {
    // Refused: excluded or over the size limit, and the items say what the monitor needs to tell;
    // abandoned: the copy was replaced or the reader stops, and nothing is published.
    enum class Outcome { complete, refused, abandoned } outcome;
    QList<Item> items;
};

enum class Fetched { ok, failed, abandoned };

// Reads a copy the way every backend does: a marked copy by its types alone, the others type by type
// through fetch (which gets the bytes left in the budget and may stop one past it), and a copy past
// sizeLimit refused with what was read, so that it is refused as too large rather than captured from
// a cut-off read.
Read read(const ReadPlan& plan, qint64 sizeLimit,
          const std::function<Fetched(const QByteArray& target, QByteArray& data, qint64 budget)>& fetch);

// The targets and bytes that put these items back on the clipboard: each type under every target it
// is read from, each in that target's encoding; file URLs of all items form one uri-list; plain text
// Types with no X11 counterpart go under their own
// name, so that nothing written is lost.
QList<std::pair<QByteArray, QByteArray>> writeTargets(const QList<PasteboardItemSnapshot>& items);

// URIs of a uri-list: CRLF or LF separated, comment lines and blank lines dropped.
QList<QByteArray> parseUriList(const QByteArray& data);

// The first line of a text/x-moz-url (UTF-16, URL then title) as UTF-8.
QByteArray mozUrlAddress(const QByteArray& data);

} // namespace MimeTypeMap
