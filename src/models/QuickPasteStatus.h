#pragma once

#include <QMetaType>
#include <QString>

// The state of quick paste as the settings view reports it.
// unavailable: the session offers no way to quick paste yet (Wayland), whatever the switch says.
enum class QuickPasteStatus { disabled = 0, needsPermission = 1, failed = 2, ready = 3, unavailable = 4 };
Q_DECLARE_METATYPE(QuickPasteStatus)

namespace QuickPasteStatuses {

// In the current interface language.
QString message(QuickPasteStatus status);

} // namespace QuickPasteStatuses
