#pragma once

#include <QLoggingCategory>

// Diagnostics of quick paste: the chord, the popup and the paste.
Q_DECLARE_LOGGING_CATEGORY(lcQuickPaste)
