#include "platform/PasteboardContents.h"

QList<QStringList> PasteboardContents::itemTypes() const
{
    QList<QStringList> types;
    types.reserve(m_items.size());
    for (const MimeTypeMap::Item& item : m_items)
        types.append(item.types);
    return types;
}

std::optional<QByteArray> PasteboardContents::data(qsizetype item, const QString& type) const
{
    if (item < 0 || item >= m_items.size())
        return std::nullopt;
    const auto found = m_items[item].data.constFind(type);
    if (found == m_items[item].data.cend())
        return std::nullopt;
    return *found;
}

std::optional<QString> PasteboardContents::string(const QString& type) const
{
    const std::optional<QByteArray> bytes = data(0, type);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

void PasteboardContents::write(const QList<PasteboardItemSnapshot>& items, quint64 replaced)
{
    m_writtenOverGeneration = replaced;
    ++m_changeCount;
    m_items.clear();
    m_itemsGeneration = 0;
    for (const PasteboardItemSnapshot& item : items) {
        MimeTypeMap::Item written;
        for (const PasteboardRepresentation& representation : item.representations) {
            written.types.append(representation.type);
            written.data.insert(representation.type, representation.data);
        }
        m_items.append(written);
    }
}

PasteboardContents::Applied PasteboardContents::apply(quint64 generation, QList<MimeTypeMap::Item> items,
                                                      quint64 seen)
{
    if (generation <= m_writtenOverGeneration)
        return Applied::stale;
    const bool changed = generation > seen;
    if (changed)
        ++m_changeCount;
    m_items = std::move(items);
    m_itemsGeneration = generation;
    return changed ? Applied::changed : Applied::seen;
}

std::optional<PasteboardContents::Recorded> PasteboardContents::recorded(qint64 changeCount) const
{
    if (changeCount != m_changeCount || m_itemsGeneration == 0 || m_items.isEmpty())
        return std::nullopt;
    return Recorded{m_itemsGeneration, m_items};
}
