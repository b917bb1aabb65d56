#include "ui/history/HistoryFilterOptionList.h"

#include "l10n/Localization.h"
#include "ui/common/AppTheme.h"
#include "ui/common/ClipboardKindIcon.h"
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
constexpr int kindIconSize = 13;
constexpr int iconSlot = 17;
constexpr int checkSize = 11;
constexpr int checkSlot = 14;
constexpr int minimumGap = 20;
constexpr qreal rowRadius = 6;
constexpr qreal frameRadius = 8;
constexpr int anchorGap = 4;

QString optionName(std::optional<ClipboardKind> kind)
{
    return kind ? ClipboardKinds::title(*kind) : L10n::text(L10n::Key::allTypes);
}

// One option. It never takes focus: the list keeps it and moves the highlight instead.
class OptionRow : public QAbstractButton {
public:
    OptionRow(std::optional<ClipboardKind> kind, QWidget* parent) : QAbstractButton(parent), m_kind(kind)
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
        painter.drawPixmap(x + (iconSlot - kindIconSize) / 2, (height() - kindIconSize) / 2,
                           ClipboardKindIcon::pixmap(m_kind, kindIconSize, ratio, primary));
        x += iconSlot + itemSpacing;

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
    std::optional<ClipboardKind> m_kind;
    bool m_selected = false;
    bool m_highlighted = false;
};

} // namespace

HistoryFilterOptionList::HistoryFilterOptionList(const QList<std::optional<ClipboardKind>>& options,
                                                 QWidget* anchor)
    : QWidget(anchor, Qt::Popup | Qt::FramelessWindowHint), m_anchor(anchor), m_options(options)
{
    setFocusPolicy(Qt::StrongFocus);
    setFixedWidth(listWidth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(rowSpacing);
    QFont rowFont = font();
    rowFont.setPointSizeF(13);
    for (int index = 0; index < m_options.size(); ++index) {
        auto* row = new OptionRow(m_options[index], this);
        row->setFont(rowFont);
        row->onHover = [this, index] { Q_EMIT highlightRequested(index); };
        connect(row, &QAbstractButton::clicked, this, [this, index] { Q_EMIT optionChosen(index); });
        layout->addWidget(row);
        m_rows.append(row);
    }
    setFixedHeight(layout->sizeHint().height());

    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            &HistoryFilterOptionList::retranslate);
    retranslate();
    updateRows();
}

void HistoryFilterOptionList::setSelection(std::optional<ClipboardKind> selection)
{
    if (m_selection == selection)
        return;
    m_selection = selection;
    updateRows();
}

void HistoryFilterOptionList::setHighlightedIndex(int index)
{
    if (m_highlightedIndex == index)
        return;
    m_highlightedIndex = index;
    updateRows();
}

QAbstractButton* HistoryFilterOptionList::optionButton(int index) const
{
    return index >= 0 && index < m_rows.size() ? m_rows[index] : nullptr;
}

void HistoryFilterOptionList::popUp()
{
    QPoint position = m_anchor->mapToGlobal(QPoint(0, m_anchor->height() + anchorGap));
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

void HistoryFilterOptionList::retranslate()
{
    for (int index = 0; index < m_rows.size(); ++index)
        m_rows[index]->setText(optionName(m_options[index]));
    updateRows();
}

void HistoryFilterOptionList::updateRows()
{
    for (int index = 0; index < m_rows.size(); ++index) {
        auto* row = static_cast<OptionRow*>(m_rows[index]);
        const bool selected = m_options[index] == m_selection;
        row->setState(selected, index == m_highlightedIndex);
        row->setAccessibleDescription(selected ? L10n::text(L10n::Key::selected) : QString());
    }
}

void HistoryFilterOptionList::keyPressEvent(QKeyEvent* event)
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

void HistoryFilterOptionList::mousePressEvent(QMouseEvent* event)
{
    // A press on the control that opened the list only closes it; replayed, it would open it again.
    const QPoint global = event->globalPosition().toPoint();
    const bool onAnchor = m_anchor->rect().contains(m_anchor->mapFromGlobal(global));
    setAttribute(Qt::WA_NoMouseReplay, !rect().contains(event->position().toPoint()) && onAnchor);
    QWidget::mousePressEvent(event);
}

void HistoryFilterOptionList::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Not every X11 desktop composites, so the corners are cut with a mask rather than left transparent.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), frameRadius, frameRadius);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void HistoryFilterOptionList::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    Q_EMIT dismissed();
}

void HistoryFilterOptionList::paintEvent(QPaintEvent*)
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
