#pragma once

#include <QDateTime>
#include <compare>

// A point in time as seconds since 2001-01-01 00:00:00 UTC, the epoch of the history archive's dates.
// Kept as a double end to end so that stored times survive a round trip exactly.
struct Timestamp {
    double secondsSinceReferenceDate = 0;

    static Timestamp now();
    static Timestamp fromDateTime(const QDateTime& dateTime);
    QDateTime toDateTime() const;

    friend auto operator<=>(const Timestamp&, const Timestamp&) = default;
    friend bool operator==(const Timestamp&, const Timestamp&) = default;
};
