#include "models/ClipboardKind.h"

#include "l10n/Localization.h"

namespace ClipboardKinds {

QString rawValue(ClipboardKind kind)
{
    switch (kind) {
    case ClipboardKind::text:
        return QStringLiteral("text");
    case ClipboardKind::link:
        return QStringLiteral("link");
    case ClipboardKind::image:
        return QStringLiteral("image");
    case ClipboardKind::file:
        return QStringLiteral("file");
    }
    return QString();
}

QString title(ClipboardKind kind)
{
    switch (kind) {
    case ClipboardKind::text:
        return L10n::text(L10n::Key::kindText);
    case ClipboardKind::link:
        return L10n::text(L10n::Key::kindLink);
    case ClipboardKind::image:
        return L10n::text(L10n::Key::kindImage);
    case ClipboardKind::file:
        return L10n::text(L10n::Key::kindFile);
    }
    return QString();
}

std::optional<ClipboardKind> fromRawValue(const QString& rawValue)
{
    if (rawValue == QLatin1StringView("code"))
        return ClipboardKind::text;
    for (ClipboardKind kind : allCases) {
        if (rawValue == ClipboardKinds::rawValue(kind))
            return kind;
    }
    return std::nullopt;
}

} // namespace ClipboardKinds
