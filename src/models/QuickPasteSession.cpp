#include "models/QuickPasteSession.h"

std::optional<QuickPasteSession::Direction> QuickPasteSession::direction(int rawValue)
{
    switch (rawValue) {
    case int(Direction::next):
        return Direction::next;
    case int(Direction::previous):
        return Direction::previous;
    default:
        return std::nullopt;
    }
}

QuickPasteSession QuickPasteSession::over(QList<ClipboardEntry> history)
{
    QuickPasteSession session;
    session.candidates = std::move(history);
    return session;
}

void QuickPasteSession::triggerDown(Direction direction, bool isRepeat)
{
    if (candidates.isEmpty())
        return;
    if (isRepeat) {
        // A repeat only moves while its own press is counted as held.
        if (!heldDirections.contains(direction))
            return;
    } else if (heldDirections.contains(direction)) {
        // A second press without a release in between.
        return;
    } else {
        heldDirections.insert(direction);
    }
    const qsizetype count = candidates.size();
    selectedIndex = (selectedIndex + int(direction) + count) % count;
}
