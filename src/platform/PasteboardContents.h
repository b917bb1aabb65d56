#pragma once

#include "models/PasteboardItemSnapshot.h"
#include "platform/MimeTypeMap.h"

#include <optional>

// What a pasteboard that reads ahead on a thread of its own shows the GUI thread: the last complete
// read, or what we wrote since, and the change count over them.
class PasteboardContents {
public:
    qint64 changeCount() const { return m_changeCount; }
    QList<QStringList> itemTypes() const;
    std::optional<QByteArray> data(qsizetype item, const QString& type) const;
    std::optional<QString> string(const QString& type) const;

    // Our own write is a change; reads of generations up to `replaced`, finished later, describe what
    // it replaced.
    void write(const QList<PasteboardItemSnapshot>& items, quint64 replaced);

    enum class Applied { stale, seen, changed };
    // A read of that generation finished. Contents read before they were marked seen (up to `seen`)
    // are no change.
    Applied apply(quint64 generation, QList<MimeTypeMap::Item> items, quint64 seen);

    struct Recorded {
        quint64 generation = 0;
        QList<MimeTypeMap::Item> items;
    };
    // The read contents behind this change count, if it is the current one; never our own writes.
    std::optional<Recorded> recorded(qint64 changeCount) const;

private:
    qint64 m_changeCount = 0;
    QList<MimeTypeMap::Item> m_items;
    // The generation of m_items; 0 after our own write.
    quint64 m_itemsGeneration = 0;
    quint64 m_writtenOverGeneration = 0;
};
