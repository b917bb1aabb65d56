#include "models/PasteboardItemSnapshot.h"

#include <QHashFunctions>

size_t qHash(const PasteboardRepresentation& representation, size_t seed) noexcept
{
    return qHashMulti(seed, representation.type, representation.data);
}

std::optional<QByteArray> PasteboardItemSnapshot::data(const QString& type) const
{
    for (const PasteboardRepresentation& representation : representations) {
        if (representation.type == type)
            return representation.data;
    }
    return std::nullopt;
}

size_t qHash(const PasteboardItemSnapshot& item, size_t seed) noexcept
{
    return qHashRange(item.representations.cbegin(), item.representations.cend(), seed);
}
