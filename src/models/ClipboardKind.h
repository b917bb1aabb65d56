#pragma once

#include <QString>
#include <array>
#include <optional>

enum class ClipboardKind { text, link, image, file };

namespace ClipboardKinds {

inline constexpr std::array<ClipboardKind, 4> allCases{ClipboardKind::text, ClipboardKind::link,
                                                       ClipboardKind::image, ClipboardKind::file};

QString rawValue(ClipboardKind kind);
// The kind's name in the current interface language.
QString title(ClipboardKind kind);
// The four raw values, plus "code", which older histories used for what is now text.
std::optional<ClipboardKind> fromRawValue(const QString& rawValue);

} // namespace ClipboardKinds
