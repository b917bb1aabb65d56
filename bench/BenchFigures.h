#pragma once

#include <QList>
#include <algorithm>

// The middle of a set of timings: robust against the odd run a busy machine slows down.
inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
