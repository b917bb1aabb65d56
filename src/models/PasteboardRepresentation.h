#pragma once

#include <QByteArray>
#include <QString>

// One representation of a pasteboard item: a type identifier and its bytes as the owner gave them.
struct PasteboardRepresentation {
    QString type;
    QByteArray data;

    friend bool operator==(const PasteboardRepresentation&, const PasteboardRepresentation&) = default;
};

size_t qHash(const PasteboardRepresentation& representation, size_t seed = 0) noexcept;
