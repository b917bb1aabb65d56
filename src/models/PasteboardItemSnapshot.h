#pragma once

#include "models/PasteboardRepresentation.h"

#include <QList>
#include <optional>

// The captured representations of one pasteboard item, in the order the item listed its types.
struct PasteboardItemSnapshot {
    QList<PasteboardRepresentation> representations;

    // Data of the first representation of exactly this type.
    std::optional<QByteArray> data(const QString& type) const;

    friend bool operator==(const PasteboardItemSnapshot&, const PasteboardItemSnapshot&) = default;
};

size_t qHash(const PasteboardItemSnapshot& item, size_t seed = 0) noexcept;
