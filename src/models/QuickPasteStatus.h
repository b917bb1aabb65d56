#pragma once

#include <QMetaType>
#include <QString>

// The state of quick paste as the settings view reports it.
enum class QuickPasteStatus { disabled = 0, needsPermission = 1, failed = 2, ready = 3 };
Q_DECLARE_METATYPE(QuickPasteStatus)

namespace QuickPasteStatuses {

// In the current interface language.
QString message(QuickPasteStatus status);

} // namespace QuickPasteStatuses
