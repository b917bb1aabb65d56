#include "l10n/Timestamp.h"

#include <chrono>

namespace {
constexpr double unixSecondsAtReferenceDate = 978307200.0;
}

Timestamp Timestamp::now()
{
    const auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(sinceUnixEpoch).count();
    return Timestamp{seconds - unixSecondsAtReferenceDate};
}

Timestamp Timestamp::fromDateTime(const QDateTime& dateTime)
{
    return Timestamp{static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0 - unixSecondsAtReferenceDate};
}

QDateTime Timestamp::toDateTime() const
{
    const double msecs = (secondsSinceReferenceDate + unixSecondsAtReferenceDate) * 1000.0;
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msecs), Qt::UTC);
}
