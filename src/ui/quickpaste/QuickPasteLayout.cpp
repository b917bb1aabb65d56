#include "ui/quickpaste/QuickPasteLayout.h"

#include "ui/common/HistoryRowLayout.h"

#include <algorithm>

namespace QuickPasteLayout {

int rowHeight(const ClipboardEntry& entry)
{
    return HistoryRowLayouts::rowHeight(HistoryRowLayout::quickPaste, entry.kind).value_or(0);
}

int height(const QList<ClipboardEntry>& candidates)
{
    if (candidates.isEmpty())
        return emptyHeight;
    const qsizetype rows = std::min<qsizetype>(candidates.size(), countedRows);
    int list = int(rows - 1) * rowSpacing;
    for (qsizetype row = 0; row < rows; ++row)
        list += rowHeight(candidates[row]);
    return std::min(list, listHeightCap) + headerHeight + footerHeight + 2 * listVerticalPadding;
}

QList<QRect> rowFrames(const QList<ClipboardEntry>& candidates)
{
    QList<QRect> frames;
    frames.reserve(candidates.size());
    int y = 0;
    for (const ClipboardEntry& entry : candidates) {
        const int rowHeight = QuickPasteLayout::rowHeight(entry);
        frames.append(QRect(0, y, 0, rowHeight));
        y += rowHeight + rowSpacing;
    }
    return frames;
}

std::optional<QRect> frame(const QRect& available, const QList<ClipboardEntry>& candidates)
{
    if (available.width() <= smallestScreenSide || available.height() <= smallestScreenSide)
        return std::nullopt;
    const QSize size(std::min(available.width() - screenMargin, width),
                     std::min(available.height() - screenMargin, height(candidates)));
    return QRect(QPoint(available.x() + (available.width() - size.width()) / 2,
                        available.y() + (available.height() - size.height()) / 2),
                 size);
}

} // namespace QuickPasteLayout
