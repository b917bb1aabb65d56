#include "ui/common/HistoryRowPainter.h"

#include "l10n/Localization.h"
#include "ui/common/ClipboardKindIcon.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/SourceApplicationIcon.h"

#include <QFontMetrics>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

QString trimmedEnd(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

// Whole pixels that hold the text: rounding down would make the text its own rectangle cannot hold.
int textWidth(const QFont& font, const QString& text)
{
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

// Of what the pixels land on: a widget drawn into an image (render(), grab()) still names itself as
// the painter's device, while the engine paints into the image.
qreal devicePixelRatio(const QPainter& painter, const QWidget& widget)
{
    const QPaintEngine* engine = painter.paintEngine();
    return engine && engine->paintDevice() ? engine->paintDevice()->devicePixelRatio()
                                           : widget.devicePixelRatioF();
}

} // namespace

HistoryRowTexts HistoryRowTexts::of(const ClipboardEntry& entry)
{
    return {entry.displayTitle(), entry.linkURL()};
}

HistoryRowPainter::HistoryRowPainter(HistoryRowLayout layout) : m_layout(layout) {}

QFont HistoryRowPainter::titleFont(const QFont& font) const
{
    QFont title = font;
    title.setPointSizeF(titlePointSize);
    return title;
}

QFont HistoryRowPainter::metadataFont(const QFont& font) const
{
    QFont metadata = font;
    metadata.setPointSizeF(metadataPointSize);
    return metadata;
}

QStringList HistoryRowPainter::titleLines(const QString& title, const QFont& font, int width) const
{
    const QString key = QString::number(width) + u'|' + font.key() + u'|' + title;
    if (const QStringList* cached = m_lines.object(key))
        return *cached;

    QString text = title;
    text.replace(u'\n', QChar::LineSeparator);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxTitleLines - 1) {
            // The last line we show takes the rest of the title, cut short with an ellipsis.
            QString rest = text.mid(line.textStart());
            const bool fits = line.textStart() + line.textLength() >= text.size();
            rest.replace(QChar::LineSeparator, u' ');
            lines.append(fits ? trimmedEnd(rest)
                              : QFontMetrics(font).elidedText(rest, Qt::ElideRight, std::max(width, 0)));
            break;
        }
        lines.append(trimmedEnd(text.mid(line.textStart(), line.textLength())));
    }
    layout.endLayout();
    if (lines.isEmpty())
        lines.append(QString());
    m_lines.insert(key, new QStringList(lines));
    return lines;
}

int HistoryRowPainter::titleHeight(int lines, const QFont& font) const
{
    const QFontMetrics metrics(titleFont(font));
    return metrics.height() + (lines - 1) * (metrics.lineSpacing() + titleLineSpacing);
}

int HistoryRowPainter::metadataHeight(const QFont& font) const
{
    return std::max(iconFrame, QFontMetrics(metadataFont(font)).height());
}

int HistoryRowPainter::contentAreaHeight(const ClipboardEntry& entry, int width, const QFont& font,
                                         double aspectRatio, int titleLineCount) const
{
    const ClipboardKind kind = entry.kind;
    if (const std::optional<int> fixed = HistoryRowLayouts::contentHeight(m_layout, kind)) {
        // The fixed row keeps its metadata line inside: the content gives way.
        const int room = *HistoryRowLayouts::rowHeight(m_layout, kind) -
                         HistoryRowLayouts::topPadding(m_layout, kind) -
                         HistoryRowLayouts::bottomPadding(m_layout, kind) -
                         HistoryRowLayouts::contentSpacing(m_layout, kind) - metadataHeight(font);
        return std::max(0, std::min(*fixed, room));
    }
    if (kind == ClipboardKind::image)
        return HistoryImagePreview::heightForWidth(width, aspectRatio);
    return titlePadding + titleHeight(titleLineCount, font);
}

int HistoryRowPainter::cardHeight(const ClipboardEntry& entry, int width, const QFont& font,
                                  double aspectRatio, const HistoryRowTexts* texts) const
{
    const ClipboardKind kind = entry.kind;
    if (const std::optional<int> fixed = HistoryRowLayouts::rowHeight(m_layout, kind))
        return *fixed;
    const int inner = width - 2 * horizontalPadding;
    const int lines =
        kind == ClipboardKind::image
            ? 0
            : int(titleLines(texts ? texts->title : entry.displayTitle(), titleFont(font), inner).size());
    return HistoryRowLayouts::topPadding(m_layout, kind) +
           contentAreaHeight(entry, inner, font, aspectRatio, lines) +
           HistoryRowLayouts::contentSpacing(m_layout, kind) + metadataHeight(font) +
           HistoryRowLayouts::bottomPadding(m_layout, kind);
}

HistoryRowPainter::Parts HistoryRowPainter::arrange(const HistoryRow& row, const QRect& card,
                                                    const QFont& font) const
{
    const ClipboardEntry& entry = row.entry;
    const ClipboardKind kind = entry.kind;
    const bool image = kind == ClipboardKind::image;
    const int left = card.x() + horizontalPadding;
    const int width = card.width() - 2 * horizontalPadding;
    Parts parts;

    const QFont title = titleFont(font);
    const HistoryRowTexts texts = row.texts || image ? HistoryRowTexts() : HistoryRowTexts::of(entry);
    const HistoryRowTexts& shown = row.texts ? *row.texts : texts;
    if (!image)
        parts.titleLines = titleLines(shown.title, title, width);
    const int area =
        contentAreaHeight(entry, width, font, row.image.aspectRatio, int(parts.titleLines.size()));
    const int spacing = HistoryRowLayouts::contentSpacing(m_layout, kind);
    const int metadata = metadataHeight(font);
    const int stack = HistoryRowLayouts::topPadding(m_layout, kind) + area + spacing + metadata +
                      HistoryRowLayouts::bottomPadding(m_layout, kind);
    const int top = card.y() + (card.height() - stack) / 2 + HistoryRowLayouts::topPadding(m_layout, kind);
    parts.content = QRect(left, top, width, area);

    if (!image) {
        if (m_layout == HistoryRowLayout::history)
            parts.link = shown.link;
        const QFontMetrics metrics(title);
        const int lineCount = int(parts.titleLines.size());
        const int block = titlePadding + titleHeight(lineCount, font) +
                          (m_layout == HistoryRowLayout::quickPaste ? titlePadding : 0);
        // Centred in a fixed area; at the top of a row that sizes to it.
        int lineTop = parts.content.y() + std::max(0, (area - block) / 2) + titlePadding;
        for (const QString& line : parts.titleLines) {
            parts.titleLineRects.append(
                QRect(left, lineTop, std::min(textWidth(title, line), width), metrics.height()));
            lineTop += metrics.lineSpacing() + titleLineSpacing;
        }
    }

    const QFont small = metadataFont(font);
    const QFontMetrics metrics(small);
    const int lineY = parts.content.bottom() + 1 + spacing;
    const int iconY = lineY + (metadata - iconFrame) / 2;
    parts.time = L10n::relativeTime(entry.lastCopiedAt, row.now);
    const int timeWidth = textWidth(small, parts.time);
    const int rightGroup = std::min(width, iconFrame + kindSpacing + timeWidth);
    const int rightX = left + width - rightGroup;
    parts.kindIcon = QRect(rightX, iconY, iconFrame, iconFrame);
    parts.timeRect =
        QRect(rightX + iconFrame + kindSpacing, lineY, rightGroup - iconFrame - kindSpacing, metadata);

    parts.sourceIcon = QRect(left, iconY, iconFrame, iconFrame);
    const int nameX = left + iconFrame + sourceSpacing;
    const int nameRoom = rightX - metadataSpacing - nameX;
    if (nameRoom > 0) {
        parts.sourceName = metrics.elidedText(entry.displaySourceName(), Qt::ElideRight, nameRoom);
        parts.sourceNameRect =
            QRect(nameX, lineY, std::min(textWidth(small, parts.sourceName), nameRoom), metadata);
    }
    return parts;
}

HistoryRowPainter::Hit HistoryRowPainter::hitTest(const HistoryRow& row, const QRect& card, const QFont& font,
                                                  const QPoint& position) const
{
    QPainterPath shape;
    shape.addRoundedRect(QRectF(card), cornerRadius, cornerRadius);
    if (!shape.contains(QPointF(position) + QPointF(0.5, 0.5)))
        return Hit::none;
    const Parts parts = arrange(row, card, font);
    if (parts.link) {
        for (const QRect& line : parts.titleLineRects) {
            if (line.contains(position))
                return Hit::linkTitle;
        }
    }
    if (parts.kindIcon.contains(position))
        return Hit::kindIcon;
    return Hit::card;
}

void HistoryRowPainter::paintCard(QPainter& painter, const QRect& card, const HistoryRow& row,
                                  const QWidget& widget) const
{
    using HistoryAppearance::Colour;
    const Colour fill = row.selected ? Colour::selected : row.hovered ? Colour::hover : Colour::card;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(HistoryAppearance::resolve(fill, widget.palette()));
    painter.drawRoundedRect(QRectF(card), cornerRadius, cornerRadius);
    painter.restore();
    paintRow(painter, card, row, widget);
}

void HistoryRowPainter::paintRow(QPainter& painter, const QRect& card, const HistoryRow& row,
                                 const QWidget& widget) const
{
    using HistoryAppearance::Colour;
    const QPalette& palette = widget.palette();
    const qreal ratio = devicePixelRatio(painter, widget);
    const Parts parts = arrange(row, card, widget.font());
    painter.save();

    if (row.entry.kind == ClipboardKind::image) {
        QPixmap* scaled = m_scaled.object(row.entry.fingerprint);
        if (!scaled) {
            scaled = new QPixmap;
            m_scaled.insert(row.entry.fingerprint, scaled);
        }
        HistoryImagePreview::paint(painter, parts.content, row.image.state, row.image.thumbnail, *scaled,
                                   row.image.spinnerStep, palette, widget.font(), ratio);
    } else {
        QFont title = titleFont(widget.font());
        title.setUnderline(parts.link || row.entry.kind == ClipboardKind::link);
        const QFontMetrics metrics(title);
        painter.setFont(title);
        painter.setPen(parts.link && row.titleHovered ? HistoryAppearance::resolve(Colour::blue, palette)
                                                      : palette.color(QPalette::WindowText));
        for (qsizetype line = 0; line < parts.titleLines.size(); ++line) {
            const QRect& rect = parts.titleLineRects[line];
            painter.drawText(QPoint(rect.x(), rect.y() + metrics.ascent()), parts.titleLines[line]);
        }
    }

    const QColor secondary =
        HistoryAppearance::resolve(row.selected ? Colour::selectedSecondary : Colour::secondary, palette);
    SourceApplicationIcon::paint(painter, parts.sourceIcon, row.sourceIcon ? &*row.sourceIcon : nullptr,
                                 row.entry.kind, secondary, ratio);
    painter.drawPixmap(parts.kindIcon.x() + (iconFrame - kindIconSize) / 2,
                       parts.kindIcon.y() + (iconFrame - kindIconSize) / 2,
                       ClipboardKindIcon::pixmap(row.entry.kind, kindIconSize, ratio, secondary));
    const QFont small = metadataFont(widget.font());
    painter.setFont(small);
    painter.setPen(secondary);
    // One baseline from the primary font: centring each run on its own glyphs drops text in a
    // fallback font (Chinese) below the source name beside it.
    const QFontMetrics smallMetrics(small);
    const int baseline =
        parts.timeRect.top() + (parts.timeRect.height() - smallMetrics.height()) / 2 + smallMetrics.ascent();
    if (!parts.sourceName.isEmpty())
        painter.drawText(QPoint(parts.sourceNameRect.left(), baseline), parts.sourceName);
    painter.drawText(QPoint(parts.timeRect.left(), baseline),
                     smallMetrics.elidedText(parts.time, Qt::ElideRight, parts.timeRect.width()));
    painter.restore();
}
