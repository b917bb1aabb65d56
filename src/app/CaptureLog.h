#pragma once

#include "app/L10nKey.h"
#include "models/ClipboardEntry.h"

// One-line descriptions of captures and notices for the console.
namespace CaptureLog {

QString describe(const ClipboardEntry& entry);
QString describe(L10n::Key notice);

} // namespace CaptureLog
