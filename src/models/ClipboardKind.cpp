#include "models/ClipboardKind.h"

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
