#pragma once

#include "l10n/L10nKey.h"
#include "models/ClipboardKind.h"
#include "models/PasteboardItemSnapshot.h"
#include "l10n/Timestamp.h"

#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>

// The interface language's words that display texts are made of, taken on the GUI thread so that
// display texts can be made on another.
struct DisplayWords {
    QHash<L10n::Key, QString> texts;
    QLocale locale;

    static DisplayWords current();
};

// One recorded copy. A value: compared member-wise, identified in lists by id.
struct ClipboardEntry {
    QUuid id;
    Timestamp capturedAt;
    Timestamp lastCopiedAt;
    QString sourceName;
    ClipboardKind kind = ClipboardKind::text;
    QString title;
    std::optional<QString> plainText;
    QList<PasteboardItemSnapshot> items;
    QString fingerprint;
    std::optional<QString> sourceBundleIdentifier;
    QString deduplicationKey;

    struct Classification {
        ClipboardKind kind = ClipboardKind::text;
        QString title;
        friend bool operator==(const Classification&, const Classification&) = default;
    };

    // Texts for the views, in the current interface language on every call; never stored.
    QString displayTitle() const;
    QString displaySourceName() const;
    // The same in the language the words were taken in; safe on any thread.
    QString displayTitle(const DisplayWords& words) const;
    QString displaySourceName(const DisplayWords& words) const;

    // Total bytes of every representation; type identifiers are not counted.
    qint64 byteCount() const;
    // The first file URL of each item that decodes, parses and has the file scheme.
    QList<QUrl> fileURLs() const;
    // The address of a link entry whose text is still exactly one link.
    std::optional<QUrl> linkURL() const;

    static ClipboardKind textKind(const QString& text);
    static Classification classify(const QList<PasteboardItemSnapshot>& items,
                                   const std::optional<QString>& text);
    static QString makeDeduplicationKey(const QString& sourceName,
                                        const std::optional<QString>& sourceBundleIdentifier,
                                        const QString& fingerprint);
    // SHA-256 over the items: the content's identity, independent of its source and time.
    static QString fingerprintOf(const QList<PasteboardItemSnapshot>& items);

    friend bool operator==(const ClipboardEntry&, const ClipboardEntry&) = default;
};

size_t qHash(const ClipboardEntry& entry, size_t seed = 0) noexcept;
