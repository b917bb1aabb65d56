#pragma once

#include "l10n/Timestamp.h"
#include "ui/common/HistoryRowPainter.h"

#include <QAbstractItemDelegate>
#include <QPersistentModelIndex>
#include <functional>

class HistoryListModel;
class QAbstractItemView;

// Draws the history list's rows as cards through HistoryRowPainter: the card's fill is the only
// selection and hover mark, a ring inside the current card the only focus mark, and nothing else of
// the platform's item look is drawn.
class HistoryRowDelegate : public QAbstractItemDelegate {
    Q_OBJECT

public:
    static constexpr int verticalInset = 3;
    static constexpr int horizontalInset = 8;
    static constexpr qreal focusRingWidth = 2;

    // The rows of model, shown by view.
    HistoryRowDelegate(HistoryListModel& model, QAbstractItemView& view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The card within an item's rectangle.
    static QRect cardRect(const QRect& itemRect);
    HistoryRowPainter::Hit hitTest(const QRect& itemRect, const QModelIndex& index,
                                   const QPoint& position) const;
    // The row under the pointer, and whether the pointer is over its link title.
    void setHover(const QModelIndex& index, bool overLink);
    QModelIndex hoveredIndex() const { return m_hovered; }
    bool isLinkHovered() const { return m_linkHovered; }
    void setSpinnerStep(int step) { m_spinnerStep = step; }

    // The time relative times are counted to.
    std::function<Timestamp()> clock = &Timestamp::now;

private:
    HistoryRow row(const QModelIndex& index, const ClipboardEntry& entry, bool selected) const;

    HistoryListModel& m_model;
    QAbstractItemView& m_view;
    HistoryRowPainter m_painter{HistoryRowLayout::history};
    QPersistentModelIndex m_hovered;
    bool m_linkHovered = false;
    int m_spinnerStep = 0;
};
