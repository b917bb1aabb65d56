#pragma once

#include "models/ClipboardKind.h"

#include <optional>

// Where a history row is shown: the history window's list, where rows size to their content, or the
// quick paste popup, where every row of a kind has one height.
enum class HistoryRowLayout { history, quickPaste };

namespace HistoryRowLayouts {

// Nothing: the row is as tall as its content.
std::optional<int> rowHeight(HistoryRowLayout layout, ClipboardKind kind);
int topPadding(HistoryRowLayout layout, ClipboardKind kind);
int bottomPadding(HistoryRowLayout layout, ClipboardKind kind);
int contentSpacing(HistoryRowLayout layout, ClipboardKind kind);
// The fixed height of the title or image area; always the row height less its paddings.
std::optional<int> contentHeight(HistoryRowLayout layout, ClipboardKind kind);

} // namespace HistoryRowLayouts
