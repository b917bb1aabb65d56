#include "ui/history/HistoryRowDelegate.h"

#include "ui/common/HistoryAppearance.h"
#include "ui/history/HistoryListModel.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

HistoryRowDelegate::HistoryRowDelegate(HistoryListModel& model, QAbstractItemView& view)
    : QAbstractItemDelegate(&view), m_model(model), m_view(view)
{
}

QRect HistoryRowDelegate::cardRect(const QRect& itemRect)
{
    return itemRect.adjusted(horizontalInset, verticalInset, -horizontalInset, -verticalInset);
}

HistoryRow HistoryRowDelegate::row(const QModelIndex& index, const ClipboardEntry& entry, bool selected) const
{
    const bool hovered = m_hovered.isValid() && m_hovered == index;
    const HistoryRowImage shape{HistoryImagePreview::State::loading, QImage(),
                                m_model.aspectRatio(index.row()), m_spinnerStep};
    return HistoryRow{entry, selected,     hovered, hovered && m_linkHovered,
                      shape, std::nullopt, clock(), m_model.texts(index.row())};
}

void HistoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    const ClipboardEntry& entry = m_model.entry(index.row());
    HistoryRow shown = row(index, entry, option.state.testFlag(QStyle::State_Selected));
    if (entry.kind == ClipboardKind::image) {
        shown.image = m_model.image(index.row());
        shown.image.spinnerStep = m_spinnerStep;
    }
    shown.sourceIcon = m_model.sourceIcon(index.row());
    const QRect card = cardRect(option.rect);
    m_painter.paintCard(*painter, card, shown, m_view);
    // Keyboard focus: a ring inside the current card while the list has focus in the active window.
    if (option.state.testFlag(QStyle::State_HasFocus) && option.state.testFlag(QStyle::State_Active)) {
        const qreal inset = focusRingWidth / 2;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(HistoryAppearance::blue(&m_view), focusRingWidth));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(card).adjusted(inset, inset, -inset, -inset),
                                 HistoryRowPainter::cornerRadius - inset,
                                 HistoryRowPainter::cornerRadius - inset);
        painter->restore();
    }
}

QSize HistoryRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int width = m_view.viewport() ? m_view.viewport()->width() : option.rect.width();
    const int cardWidth = width - 2 * horizontalInset;
    const int height = m_painter.cardHeight(m_model.entry(index.row()), cardWidth, m_view.font(),
                                            m_model.aspectRatio(index.row()), &m_model.texts(index.row()));
    return {width, height + 2 * verticalInset};
}

HistoryRowPainter::Hit HistoryRowDelegate::hitTest(const QRect& itemRect, const QModelIndex& index,
                                                   const QPoint& position) const
{
    if (!index.isValid())
        return HistoryRowPainter::Hit::none;
    const ClipboardEntry& entry = m_model.entry(index.row());
    return m_painter.hitTest(row(index, entry, false), cardRect(itemRect), m_view.font(), position);
}

void HistoryRowDelegate::setHover(const QModelIndex& index, bool overLink)
{
    m_hovered = index;
    m_linkHovered = index.isValid() && overLink;
}

bool HistoryRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                   const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QAbstractItemDelegate::helpEvent(event, view, option, index);
    const ClipboardEntry& entry = m_model.entry(index.row());
    const QRect card = cardRect(option.rect);
    const HistoryRow shown = row(index, entry, false);
    const HistoryRowPainter::Parts parts = m_painter.arrange(shown, card, m_view.font());
    switch (m_painter.hitTest(shown, card, m_view.font(), event->pos())) {
    case HistoryRowPainter::Hit::linkTitle: {
        QRect title;
        for (const QRect& line : parts.titleLineRects)
            title |= line;
        QToolTip::showText(event->globalPos(), parts.link->toString(), view->viewport(), title);
        return true;
    }
    case HistoryRowPainter::Hit::kindIcon:
        QToolTip::showText(event->globalPos(), ClipboardKinds::title(entry.kind), view->viewport(),
                           parts.kindIcon);
        return true;
    case HistoryRowPainter::Hit::card:
    case HistoryRowPainter::Hit::none:
        break;
    }
    QToolTip::hideText();
    return true;
}
