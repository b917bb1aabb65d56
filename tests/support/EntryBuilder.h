#pragma once

#include "models/ClipboardEntry.h"
#include "models/PasteboardType.h"

// After a test replaces an entry's items: fingerprint and key follow them, as a capture's would, so
// that entries stay distinct.
inline ClipboardEntry refreshed(ClipboardEntry entry)
{
    entry.fingerprint = ClipboardEntry::fingerprintOf(entry.items);
    entry.deduplicationKey = ClipboardEntry::makeDeduplicationKey(
        entry.sourceName, entry.sourceBundleIdentifier, entry.fingerprint);
    return entry;
}

// Entries for tests, complete and consistent: fingerprint and key computed as a capture would.
inline ClipboardEntry makeEntry(const QString& text, double lastCopiedAt, qint64 extraBytes = 0,
                                const QString& source = QStringLiteral("Editor"))
{
    ClipboardEntry entry;
    entry.id = QUuid::createUuid();
    entry.capturedAt = Timestamp{lastCopiedAt};
    entry.lastCopiedAt = Timestamp{lastCopiedAt};
    entry.sourceName = source;
    entry.kind = ClipboardKind::text;
    entry.title = text;
    entry.plainText = text;
    entry.items = {{{{PasteboardType::plainText, text.toUtf8()}}}};
    if (extraBytes > 0)
        entry.items.first().representations.append({PasteboardType::png, QByteArray(extraBytes, 'p')});
    return refreshed(entry);
}
