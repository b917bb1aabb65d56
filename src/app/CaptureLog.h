#pragma once

#include "models/ClipboardEntry.h"

#include <QList>

// Plain-text views of the history for the console, until the windows exist.
namespace CaptureLog {

// One line: kind, title, source application, size and the start of the fingerprint.
QString describe(const ClipboardEntry& entry);
// The whole history, newest first, one numbered line per entry.
QString describe(const QList<ClipboardEntry>& entries);

} // namespace CaptureLog
