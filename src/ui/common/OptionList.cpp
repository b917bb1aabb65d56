#include "ui/common/OptionList.h"

#include "l10n/Localization.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/Symbols.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <functional>

namespace {

constexpr int listWidth = 192;
constexpr int padding = 6;
constexpr int rowSpacing = 2;
constexpr int rowHeight = 28;
constexpr int rowPadding = 9;
constexpr int itemSpacing = 9;
constexpr int optionIconSize = 13;
constexpr int iconSlot = 17;
constexpr int checkSize = 11;
constexpr int checkSlot = 14;
constexpr int minimumGap = 20;
constexpr qreal rowRadius = 6;
constexpr qreal frameRadius = 8;
constexpr int anchorGap = 4;

// One option. It never takes focus: the list keeps it and moves the highlight instead.
class OptionRow : public QAbstractButton {
public:
    OptionRow(int index, OptionList::Icon icon, QWidget* parent)
        : QAbstractButton(parent), m_index(index), m_icon(std::move(icon))
    {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover);
        setFixedHeight(rowHeight);
    }

    std::function<void()> onHover;

    void setState(bool selected, bool highlighted)
    {
        if (m_selected == selected && m_highlighted == highlighted)
            return;
        m_selected = selected;
        m_highlighted = highlighted;
        update();
    }

protected:
    bool event(QEvent* event) override
    {
        if ((event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverMove) && onHover)
            onHover();
        return QAbstractButton::event(event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (m_highlighted) {
            QPainterPath path;
            path.addRoundedRect(QRectF(rect()), rowRadius, rowRadius);
            painter.fillPath(path, HistoryAppearance::selected(this));
        }
        const QColor primary = palette().color(QPalette::Active, QPalette::WindowText);
        const qreal ratio = devicePixelRatioF();
        int x = rowPadding;
        if (m_icon) {
            painter.drawPixmap(x + (iconSlot - optionIconSize) / 2, (height() - optionIconSize) / 2,
                               m_icon(m_index, optionIconSize, ratio, primary));
            x += iconSlot + itemSpacing;
        }

        const int checkLeft = width() - rowPadding - checkSlot;
        if (m_selected)
            painter.drawPixmap(checkLeft + (checkSlot - checkSize) / 2, (height() - checkSize) / 2,
                               Symbols::pixmap(QStringLiteral("checkmark"), checkSize, ratio, primary));

        const QRect nameRect(x, 0, std::max(0, checkLeft - minimumGap - x), height());
        painter.setPen(primary);
        painter.setFont(font());
        painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(text(), Qt::ElideRight, nameRect.width()));
    }

private:
    int m_index;
    OptionList::Icon m_icon;
    bool m_selected = false;
    bool m_highlighted = false;
};

} // namespace

OptionList::OptionList(int count, Name name, Icon icon, QWidget* anchor)
    : QWidget(anchor, Qt::Popup | Qt::FramelessWindowHint), m_anchor(anchor), m_name(std::move(name))
{
    setFocusPolicy(Qt::StrongFocus);
    setFixedWidth(listWidth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(rowSpacing);
    QFont rowFont = font();
    rowFont.setPointSizeF(13);
    for (int index = 0; index < count; ++index) {
        auto* row = new OptionRow(index, icon, this);
        row->setFont(rowFont);
        row->onHover = [this, index] { Q_EMIT highlightRequested(index); };
        connect(row, &QAbstractButton::clicked, this, [this, index] { Q_EMIT optionChosen(index); });
        layout->addWidget(row);
        m_rows.append(row);
    }
    setFixedHeight(layout->sizeHint().height());

    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            &OptionList::retranslate);
    retranslate();
    updateRows();
}

void OptionList::setSelectedIndex(int index)
{
    if (m_selectedIndex == index)
        return;
    m_selectedIndex = index;
    updateRows();
}

void OptionList::setHighlightedIndex(int index)
{
    if (m_highlightedIndex == index)
        return;
    m_highlightedIndex = index;
    updateRows();
}

QAbstractButton* OptionList::optionButton(int index) const
{
    return index >= 0 && index < m_rows.size() ? m_rows[index] : nullptr;
}

void OptionList::popUp()
{
    const int x = m_anchorEdge == Qt::AlignRight ? m_anchor->width() - width() : 0;
    QPoint position = m_anchor->mapToGlobal(QPoint(x, m_anchor->height() + anchorGap));
    if (const QScreen* screen = m_anchor->screen()) {
        const QRect available = screen->availableGeometry();
        if (position.y() + height() > available.bottom() + 1)
            position.setY(m_anchor->mapToGlobal(QPoint(0, 0)).y() - anchorGap - height());
        position.setX(std::clamp(position.x(), available.left(),
                                 std::max(available.left(), available.right() + 1 - width())));
    }
    move(position);
    show();
    setFocus(Qt::PopupFocusReason);
}

void OptionList::retranslate()
{
    for (int index = 0; index < m_rows.size(); ++index)
        m_rows[index]->setText(m_name(index));
    updateRows();
}

void OptionList::updateRows()
{
    for (int index = 0; index < m_rows.size(); ++index) {
        auto* row = static_cast<OptionRow*>(m_rows[index]);
        const bool selected = index == m_selectedIndex;
        row->setState(selected, index == m_highlightedIndex);
        row->setAccessibleDescription(selected ? L10n::text(L10n::Key::selected) : QString());
    }
}

void OptionList::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Down:
        Q_EMIT highlightRequested(std::min(m_highlightedIndex + 1, count() - 1));
        break;
    case Qt::Key_Up:
        Q_EMIT highlightRequested(std::max(m_highlightedIndex - 1, 0));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        Q_EMIT optionChosen(m_highlightedIndex);
        break;
    case Qt::Key_Escape:
        close();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void OptionList::mousePressEvent(QMouseEvent* event)
{
    // A press on the control that opened the list only closes it; replayed, it would open it again.
    const QPoint global = event->globalPosition().toPoint();
    const bool onAnchor = m_anchor->rect().contains(m_anchor->mapFromGlobal(global));
    setAttribute(Qt::WA_NoMouseReplay, !rect().contains(event->position().toPoint()) && onAnchor);
    QWidget::mousePressEvent(event);
}

void OptionList::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Not every X11 desktop composites, so the corners are cut with a mask rather than left transparent.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), frameRadius, frameRadius);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void OptionList::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    Q_EMIT dismissed();
}

void OptionList::paintEvent(QPaintEvent*)
{
    const QPalette& colours = palette();
    // A hairline that separates the list from the sidebar under it in either theme.
    const QColor border = AppThemes::isDark(colours) ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 46);
    QPainter painter(this);
    painter.fillRect(rect(), colours.color(QPalette::Active, QPalette::Window));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(border, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), frameRadius - 0.5,
                            frameRadius - 0.5);
}
