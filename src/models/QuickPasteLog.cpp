#include "models/QuickPasteLog.h"

Q_LOGGING_CATEGORY(lcQuickPaste, "app.clipwell.mac.QuickPaste", QtInfoMsg)
