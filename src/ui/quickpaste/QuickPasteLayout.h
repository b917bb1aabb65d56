#pragma once

#include "models/ClipboardEntry.h"

#include <QList>
#include <QRect>
#include <optional>

// The popup's size rule: a header, the first few rows of the list, a footer; centred on a screen.
namespace QuickPasteLayout {

inline constexpr int headerHeight = 44;
inline constexpr int footerHeight = 40;
// Above and below the rows.
inline constexpr int listVerticalPadding = 6;
inline constexpr int listHorizontalPadding = 16;
inline constexpr int rowSpacing = 6;
inline constexpr int countedRows = 6;
inline constexpr int listHeightCap = 558;
inline constexpr int emptyHeight = 140;
inline constexpr int width = 460;
inline constexpr int screenMargin = 40;
// A visible screen area must be larger than this both ways.
inline constexpr int smallestScreenSide = 80;
inline constexpr int cornerRadius = 18;
inline constexpr int textPadding = 20;

int rowHeight(const ClipboardEntry& entry);
// The popup's height for its candidates, before any screen limits it.
int height(const QList<ClipboardEntry>& candidates);
// Every candidate's row within the list's content, from the top of the first row.
QList<QRect> rowFrames(const QList<ClipboardEntry>& candidates);
// Where the popup goes on a screen whose visible area is available; none when that area is too small.
std::optional<QRect> frame(const QRect& available, const QList<ClipboardEntry>& candidates);

} // namespace QuickPasteLayout
