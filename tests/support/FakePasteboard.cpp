#include "support/FakePasteboard.h"

#include "models/PasteboardType.h"

void FakePasteboard::setItems(QList<Item> items)
{
    m_items = std::move(items);
    ++m_changeCount;
}

void FakePasteboard::setText(const QString& text)
{
    const QString type = PasteboardType::plainText;
    setItems({Item{{type}, {{type, text.toUtf8()}}}});
}

void FakePasteboard::clear()
{
    setItems({});
}

QList<QStringList> FakePasteboard::itemTypes() const
{
    QList<QStringList> types;
    for (const Item& item : m_items)
        types.append(item.types);
    return types;
}

std::optional<QByteArray> FakePasteboard::data(qsizetype item, const QString& type) const
{
    ++m_dataReads;
    if (onDataRead)
        onDataRead(item, type);
    if (item < 0 || item >= m_items.size())
        return std::nullopt;
    const auto found = m_items[item].data.constFind(type);
    if (found == m_items[item].data.cend())
        return std::nullopt;
    return *found;
}

std::optional<QString> FakePasteboard::string(const QString& type) const
{
    if (onStringRead)
        onStringRead(type);
    if (m_items.isEmpty())
        return std::nullopt;
    const auto found = m_items.first().data.constFind(type);
    if (found == m_items.first().data.cend())
        return std::nullopt;
    return QString::fromUtf8(*found);
}

bool FakePasteboard::write(const QList<PasteboardItemSnapshot>& items)
{
    writes.append(items);
    if (refuseWrites) {
        clear();
        return false;
    }
    QList<Item> written;
    for (const PasteboardItemSnapshot& snapshot : items) {
        Item item;
        for (const PasteboardRepresentation& representation : snapshot.representations) {
            item.types.append(representation.type);
            if (!item.data.contains(representation.type))
                item.data.insert(representation.type, representation.data);
        }
        written.append(item);
    }
    setItems(written);
    return true;
}
