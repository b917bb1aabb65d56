#pragma once

#include "models/ClipboardEntry.h"

#include <QList>
#include <QSet>
#include <optional>

// What one quick paste chord works on: the entries offered, the selected one, and the chord keys held.
struct QuickPasteSession {
    // The raw value is the step a press adds to the selection.
    enum class Direction : int { next = 1, previous = -1 };

    static std::optional<Direction> direction(int rawValue);
    // A session over the whole history, the first entry selected and the V that started it held.
    static QuickPasteSession over(QList<ClipboardEntry> history);

    // One press of a chord key; the selection wraps at both ends.
    void triggerDown(Direction direction, bool isRepeat);

    QList<ClipboardEntry> candidates;
    qsizetype selectedIndex = 0;
    QSet<Direction> heldDirections{Direction::next};
};

inline size_t qHash(QuickPasteSession::Direction direction, size_t seed = 0)
{
    return qHash(int(direction), seed);
}
