#include "ui/common/HistoryRowLayout.h"

namespace HistoryRowLayouts {

std::optional<int> rowHeight(HistoryRowLayout layout, ClipboardKind kind)
{
    if (layout == HistoryRowLayout::history)
        return std::nullopt;
    return kind == ClipboardKind::image ? 180 : 88;
}

int topPadding(HistoryRowLayout layout, ClipboardKind kind)
{
    if (layout == HistoryRowLayout::history)
        return 18;
    return kind == ClipboardKind::image ? 9 : 6;
}

// The bottom line keeps clear of the card's edge and rounded corners.
int bottomPadding(HistoryRowLayout layout, ClipboardKind kind)
{
    if (layout == HistoryRowLayout::history)
        return 8;
    return kind == ClipboardKind::image ? 9 : 8;
}

int contentSpacing(HistoryRowLayout layout, ClipboardKind kind)
{
    const bool image = kind == ClipboardKind::image;
    if (layout == HistoryRowLayout::history)
        return image ? 6 : 12;
    return image ? 6 : 3;
}

std::optional<int> contentHeight(HistoryRowLayout layout, ClipboardKind kind)
{
    const std::optional<int> height = rowHeight(layout, kind);
    if (!height)
        return std::nullopt;
    return *height - topPadding(layout, kind) - bottomPadding(layout, kind);
}

} // namespace HistoryRowLayouts
