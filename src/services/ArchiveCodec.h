#pragma once

#include "models/ClipboardEntry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <variant>

// The history archive: a binary property list holding {"version": 1, "entries": [...]}, each entry
// a dictionary with the entry's coding keys. Reader and writer are our own: see ArchiveCodec.cpp.
// Both are pure functions of their input and safe to call from any thread.
namespace ArchiveCodec {

inline constexpr qint64 currentVersion = 1;

struct Archive {
    // When this is not currentVersion the entries were not decoded.
    qint64 version = currentVersion;
    QList<ClipboardEntry> entries;
};

// Why a file is not a readable archive, for logs and error messages (not localized, like the
// platform's own decoding errors).
struct DecodingError {
    QString description;
};

// Version 1 with these entries, as a binary property list (bplist00).
QByteArray encode(const QList<ClipboardEntry>& entries);
// Any file: a structural fault, a missing key, a wrong type, a malformed UUID or an unknown kind is a
// DecodingError; another version gives that version with no entries.
std::variant<Archive, DecodingError> decode(QByteArrayView file);

} // namespace ArchiveCodec
