#include "models/QuickPasteStatus.h"

#include "l10n/Localization.h"

namespace QuickPasteStatuses {

QString message(QuickPasteStatus status)
{
    switch (status) {
    case QuickPasteStatus::disabled:
        return L10n::text(L10n::Key::quickPasteDisabled);
    case QuickPasteStatus::needsPermission:
        return L10n::text(L10n::Key::quickPastePermission);
    case QuickPasteStatus::failed:
        return L10n::text(L10n::Key::quickPasteFailed);
    case QuickPasteStatus::ready:
        return L10n::text(L10n::Key::quickPasteReady);
    case QuickPasteStatus::unavailable:
        return L10n::text(L10n::Key::quickPasteUnavailable);
    }
    return QString();
}

} // namespace QuickPasteStatuses
