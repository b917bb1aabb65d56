#pragma once

#include "models/ClipboardEntry.h"
#include "l10n/Timestamp.h"
#include "ui/common/HistoryImagePreview.h"
#include "ui/common/HistoryRowLayout.h"

#include <QCache>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QStringList>
#include <QUrl>
#include <optional>

class QPainter;
class QWidget;

// What a row shows of an image entry's thumbnail.
struct HistoryRowImage {
    HistoryImagePreview::State state = HistoryImagePreview::State::loading;
    // Set in the thumbnail state.
    QImage thumbnail;
    double aspectRatio = HistoryImagePreview::initialAspectRatio;
    int spinnerStep = 0;
};

// The texts a row derives from its entry, in the current interface language. Working them out reads
// the whole text or file list, so lists keep them instead of asking for every size and paint.
struct HistoryRowTexts {
    QString title;
    std::optional<QUrl> link;

    static HistoryRowTexts of(const ClipboardEntry& entry);
};

// One entry as a row shows it at one moment.
struct HistoryRow {
    const ClipboardEntry& entry;
    bool selected = false;
    // The pointer is over the card, or over the link title.
    bool hovered = false;
    bool titleHovered = false;
    // Image entries only.
    HistoryRowImage image;
    // Nothing: the kind symbol stands in.
    std::optional<QIcon> sourceIcon;
    Timestamp now;
    // Worked out from the entry when not given.
    std::optional<HistoryRowTexts> texts = std::nullopt;
};

// Paints history rows without a widget per row, so a list can draw a screenful of them in a few
// milliseconds, and works out where their parts lie for hit tests. The history list and the quick
// paste popup share it, each with its own layout.
class HistoryRowPainter {
public:
    static constexpr int horizontalPadding = 12;
    static constexpr int cornerRadius = 12;
    static constexpr qreal titlePointSize = 13.5;
    static constexpr int maxTitleLines = 2;
    // Between the lines of a two-line title.
    static constexpr int titleLineSpacing = 1;
    static constexpr int titlePadding = 4;
    static constexpr qreal metadataPointSize = 11;
    static constexpr int metadataSpacing = 8;
    static constexpr int sourceSpacing = 5;
    static constexpr int kindSpacing = 4;
    static constexpr int iconFrame = 14;
    static constexpr int kindIconSize = 11;

    enum class Hit { none, card, linkTitle, kindIcon };

    // Where each part of a row lies, and the texts as drawn.
    struct Parts {
        // The title block with its padding, or the image preview.
        QRect content;
        QStringList titleLines;
        // Each line's own text, not the full width.
        QList<QRect> titleLineRects;
        std::optional<QUrl> link;
        QRect sourceIcon;
        QString sourceName;
        QRect sourceNameRect;
        QRect kindIcon;
        QString time;
        QRect timeRect;
    };

    explicit HistoryRowPainter(HistoryRowLayout layout);

    HistoryRowLayout layout() const { return m_layout; }

    // The card's height for a width. The aspect ratio is the image's, for image entries.
    int cardHeight(const ClipboardEntry& entry, int width, const QFont& font,
                   double aspectRatio = HistoryImagePreview::initialAspectRatio,
                   const HistoryRowTexts* texts = nullptr) const;
    Parts arrange(const HistoryRow& row, const QRect& card, const QFont& font) const;
    Hit hitTest(const HistoryRow& row, const QRect& card, const QFont& font, const QPoint& position) const;

    // The card: its rounded fill, then the row.
    void paintCard(QPainter& painter, const QRect& card, const HistoryRow& row, const QWidget& widget) const;
    // The row alone, for hosts that draw their own plates.
    void paintRow(QPainter& painter, const QRect& card, const HistoryRow& row, const QWidget& widget) const;

    QFont titleFont(const QFont& font) const;
    QFont metadataFont(const QFont& font) const;

private:
    QStringList titleLines(const QString& title, const QFont& font, int width) const;
    int titleHeight(int lines, const QFont& font) const;
    int metadataHeight(const QFont& font) const;
    // The height of the content area and the top of the stack within the card.
    int contentAreaHeight(const ClipboardEntry& entry, int width, const QFont& font, double aspectRatio,
                          int titleLineCount) const;

    HistoryRowLayout m_layout;
    // Line breaks by width and title, so that sizing a long list and repainting it cost no relayout.
    mutable QCache<QString, QStringList> m_lines{512};
    // Thumbnails as last scaled for drawing, by fingerprint.
    mutable QCache<QString, QPixmap> m_scaled{64};
};
