#include "ui/quickpaste/QuickPasteList.h"

#include "l10n/Localization.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryThumbnailCache.h"
#include "ui/common/ImageDecoding.h"
#include "ui/common/ReducedMotion.h"
#include "ui/quickpaste/QuickPasteLayout.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScrollBar>
#include <QSet>
#include <QWheelEvent>
#include <cmath>
#include <numbers>

namespace {

constexpr double springOmega = 2 * std::numbers::pi / QuickPasteList::springResponse;
// Until the spring's swing has shrunk below a thousandth of the step.
const double springSeconds = std::log(1000.0) / (QuickPasteList::springDamping * springOmega);

// An underdamped spring released from rest, over its settling time.
qreal spring(qreal progress)
{
    if (progress >= 1)
        return 1;
    const double t = progress * springSeconds;
    const double decay = QuickPasteList::springDamping * springOmega;
    const double ringing =
        springOmega * std::sqrt(1 - QuickPasteList::springDamping * QuickPasteList::springDamping);
    return 1 - std::exp(-decay * t) * (std::cos(ringing * t) + decay / ringing * std::sin(ringing * t));
}

// One row as an element of its own for assistive technologies: its title, what choosing it does,
// whether it is the selection, and the action that chooses it.
class RowAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    RowAccessible(QuickPasteList* list, int index) : m_list(list), m_index(index) {}

    bool isValid() const override { return m_list && m_index < m_list->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_list.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text type) const override
    {
        if (!isValid())
            return {};
        if (type == QAccessible::Name)
            return m_list->candidate(m_index).displayTitle();
        if (type == QAccessible::Description)
            return L10n::text(L10n::Key::pasteOriginalHint);
        return {};
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect row = m_list->visualRect(m_index);
        return QRect(m_list->viewport()->mapToGlobal(row.topLeft()), row.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.selectable = true;
        state.selected = isValid() && m_index == m_list->highlightedIndex();
        state.invisible = !isValid() || !m_list->viewport()->rect().intersects(m_list->visualRect(m_index));
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid())
            m_list->select(m_index);
    }

private:
    QPointer<QuickPasteList> m_list;
    int m_index;
};

QRectF scaled(const QRectF& rect, qreal scale)
{
    const QSizeF size = rect.size() * scale;
    return QRectF(rect.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

} // namespace

// The list as assistive technologies see it: its rows, not its viewport and scroll bars.
class QuickPasteListAccessible : public QAccessibleWidget {
public:
    explicit QuickPasteListAccessible(QuickPasteList* list) : QAccessibleWidget(list, QAccessible::List) {}

    static QAccessibleInterface* make(const QString& className, QObject* object)
    {
        if (className == QLatin1StringView("QuickPasteList") && object && object->isWidgetType())
            return new QuickPasteListAccessible(static_cast<QuickPasteList*>(object));
        return nullptr;
    }

    int childCount() const override { return list()->count(); }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= list()->count())
            return nullptr;
        auto found = list()->m_rowAccessibles.constFind(index);
        if (found == list()->m_rowAccessibles.cend())
            found = list()->m_rowAccessibles.insert(
                index, QAccessible::registerAccessibleInterface(new RowAccessible(list(), index)));
        return QAccessible::accessibleInterface(*found);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (auto row = list()->m_rowAccessibles.cbegin(); row != list()->m_rowAccessibles.cend(); ++row) {
            if (QAccessible::accessibleInterface(row.value()) == child)
                return row.key();
        }
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        return child(list()->indexAt(list()->viewport()->mapFromGlobal(QPoint(x, y))));
    }

private:
    QuickPasteList* list() const { return static_cast<QuickPasteList*>(widget()); }
};

QuickPasteList::QuickPasteList(HistoryThumbnailCache* thumbnails, SourceApplicationIconCache* icons,
                               QWidget* parent)
    : QAbstractScrollArea(parent),
      m_thumbnailCache(thumbnails ? *thumbnails : HistoryThumbnailCache::shared()), m_icons(icons)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    connect(&m_icons, &DeferredSourceIcons::found, viewport(), qOverload<>(&QWidget::update));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The selection keeps itself in view; a bar would only narrow the rows.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(20);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    static const bool accessibleRows = [] {
        QAccessible::installFactory(&QuickPasteListAccessible::make);
        return true;
    }();
    Q_UNUSED(accessibleRows);

    m_spring.setStartValue(0.0);
    m_spring.setEndValue(1.0);
    m_spring.setDuration(int(std::ceil(springSeconds * 1000)));
    QEasingCurve curve;
    curve.setCustomType(&spring);
    m_spring.setEasingCurve(curve);
    connect(&m_spring, &QVariantAnimation::valueChanged, viewport(), qOverload<>(&QWidget::update));

    m_timeRefresh.setInterval(timeRefreshInterval);
    connect(&m_timeRefresh, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    m_spinnerTimer.setInterval(HistoryImagePreview::spinnerInterval);
    connect(&m_spinnerTimer, &QTimer::timeout, this, [this] {
        m_spinnerStep = (m_spinnerStep + 1) % HistoryImagePreview::spinnerSpokes;
        viewport()->update();
    });
    connect(&ReducedMotion::shared(), &ReducedMotion::changed, viewport(), qOverload<>(&QWidget::update));
    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            &QuickPasteList::retranslate);
    retranslate();
}

QuickPasteList::~QuickPasteList()
{
    forgetRowAccessibles();
}

void QuickPasteList::forgetRowAccessibles()
{
    for (const unsigned id : std::as_const(m_rowAccessibles))
        QAccessible::deleteAccessibleInterface(id);
    m_rowAccessibles.clear();
}

void QuickPasteList::retranslate()
{
    m_texts.clear();
    setAccessibleDescription(L10n::text(L10n::Key::pasteOriginalHint));
    viewport()->update();
}

void QuickPasteList::setSession(const std::optional<QuickPasteSession>& session)
{
    const QList<ClipboardEntry> next = session ? session->candidates : QList<ClipboardEntry>();
    bool sameRows = next.size() == m_candidates.size();
    if (sameRows && next.constData() != m_candidates.constData()) {
        for (qsizetype row = 0; row < next.size() && sameRows; ++row)
            sameRows = next[row].id == m_candidates[row].id &&
                       next[row].fingerprint == m_candidates[row].fingerprint;
    }
    const int index =
        next.isEmpty() ? 0 : int(std::clamp<qsizetype>(session->selectedIndex, 0, next.size() - 1));
    if (!sameRows) {
        m_candidates = next;
        m_rowFrames = QuickPasteLayout::rowFrames(m_candidates);
        if (!m_candidates.isEmpty()) {
            // The previous session's images are let go; a hidden popup keeps them for the next chord.
            QSet<QString> fingerprints;
            QSet<QUuid> ids;
            for (const ClipboardEntry& entry : std::as_const(m_candidates)) {
                fingerprints.insert(entry.fingerprint);
                ids.insert(entry.id);
            }
            m_thumbnails.removeIf([&](const auto& slot) { return !fingerprints.contains(slot.key()); });
            m_texts.removeIf([&](const auto& slot) { return !ids.contains(slot.key()); });
        }
        m_pressedIndex = -1;
        forgetRowAccessibles();
        updateScrollRange();
        verticalScrollBar()->setValue(0);
        moveHighlight(index, false);
    } else if (index != m_highlightedIndex) {
        moveHighlight(index,
                      std::abs(index - m_highlightedIndex) == 1 && !ReducedMotion::shared().isReduced());
    }
    viewport()->update();
}

void QuickPasteList::moveHighlight(int index, bool animated)
{
    scrollToRow(index);
    m_highlightFrom = highlightRect();
    m_previousIndex = m_highlightedIndex;
    m_highlightedIndex = index;
    m_spring.stop();
    if (animated)
        m_spring.start();
}

QRectF QuickPasteList::highlightRect() const
{
    if (m_highlightedIndex >= m_rowFrames.size())
        return {};
    const QRectF target = m_rowFrames[m_highlightedIndex];
    if (m_spring.state() != QAbstractAnimation::Running)
        return target;
    const qreal p = m_spring.currentValue().toReal();
    return QRectF(0, m_highlightFrom.y() + (target.y() - m_highlightFrom.y()) * p, 0,
                  m_highlightFrom.height() + (target.height() - m_highlightFrom.height()) * p);
}

qreal QuickPasteList::scaleOf(int index) const
{
    if (ReducedMotion::shared().isReduced())
        return 1;
    const bool moving = m_spring.state() == QAbstractAnimation::Running;
    const qreal p = moving ? m_spring.currentValue().toReal() : 1;
    if (index == m_highlightedIndex)
        return unselectedScale + (1 - unselectedScale) * p;
    if (moving && index == m_previousIndex)
        return 1 - (1 - unselectedScale) * p;
    return unselectedScale;
}

QRect QuickPasteList::visualRect(int index) const
{
    if (index < 0 || index >= m_rowFrames.size())
        return {};
    const QRect& frame = m_rowFrames[index];
    return QRect(QuickPasteLayout::listHorizontalPadding,
                 QuickPasteLayout::listVerticalPadding + frame.y() - verticalScrollBar()->value(),
                 viewport()->width() - 2 * QuickPasteLayout::listHorizontalPadding, frame.height());
}

int QuickPasteList::indexAt(const QPoint& position) const
{
    for (int index = 0; index < m_rowFrames.size(); ++index) {
        const QRect row = visualRect(index);
        if (row.top() > position.y())
            break;
        QPainterPath shape;
        shape.addRoundedRect(QRectF(row), HistoryRowPainter::cornerRadius, HistoryRowPainter::cornerRadius);
        if (shape.contains(QPointF(position) + QPointF(0.5, 0.5)))
            return index;
    }
    return -1;
}

void QuickPasteList::updateScrollRange()
{
    const int content = m_rowFrames.isEmpty()
                            ? 0
                            : m_rowFrames.last().bottom() + 1 + 2 * QuickPasteLayout::listVerticalPadding;
    // The list's own height: a hidden list learns its viewport's size only when shown.
    verticalScrollBar()->setPageStep(height());
    verticalScrollBar()->setRange(0, std::max(0, content - height()));
}

// The least scrolling that shows the whole row with the list's padding around it.
void QuickPasteList::scrollToRow(int index)
{
    if (index < 0 || index >= m_rowFrames.size())
        return;
    const QRect& frame = m_rowFrames[index];
    const int top = frame.y();
    const int bottom = frame.bottom() + 1 + 2 * QuickPasteLayout::listVerticalPadding;
    QScrollBar* bar = verticalScrollBar();
    if (top < bar->value())
        bar->setValue(top);
    else if (bottom > bar->value() + height())
        bar->setValue(bottom - height());
}

void QuickPasteList::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
    scrollToRow(m_highlightedIndex);
}

void QuickPasteList::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    m_timeRefresh.start();
}

void QuickPasteList::hideEvent(QHideEvent* event)
{
    QAbstractScrollArea::hideEvent(event);
    m_timeRefresh.stop();
    m_spinnerTimer.stop();
}

void QuickPasteList::scrollContentsBy(int, int)
{
    viewport()->update();
    if (viewport()->underMouse()) {
        const int index = indexAt(viewport()->mapFromGlobal(QCursor::pos()));
        setHovered(index < 0 ? std::nullopt : std::optional(m_candidates[index].id));
    }
}

void QuickPasteList::paintEvent(QPaintEvent* event)
{
    using HistoryAppearance::Colour;
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect area = event->rect();
    const QPalette& palette = this->palette();
    const Timestamp now = Timestamp::now();
    const qreal radius = HistoryRowPainter::cornerRadius;

    int first = -1;
    int last = -1;
    for (int index = 0; index < m_rowFrames.size(); ++index) {
        const QRect row = visualRect(index);
        if (row.bottom() < area.top())
            continue;
        if (row.top() > area.bottom())
            break;
        if (first < 0)
            first = index;
        last = index;
    }
    if (first < 0)
        return;

    painter.setPen(Qt::NoPen);
    for (int index = first; index <= last; ++index) {
        const bool hovered = m_hoveredID == m_candidates[index].id;
        painter.setBrush(HistoryAppearance::resolve(hovered ? Colour::hover : Colour::card, palette));
        painter.drawRoundedRect(scaled(visualRect(index), scaleOf(index)), radius, radius);
    }
    const QRectF highlight = highlightRect();
    painter.setBrush(HistoryAppearance::resolve(Colour::selected, palette));
    painter.drawRoundedRect(
        QRectF(QuickPasteLayout::listHorizontalPadding,
               QuickPasteLayout::listVerticalPadding + highlight.y() - verticalScrollBar()->value(),
               viewport()->width() - 2 * QuickPasteLayout::listHorizontalPadding, highlight.height()),
        radius, radius);

    bool loading = false;
    for (int index = first; index <= last; ++index) {
        const ClipboardEntry& entry = m_candidates[index];
        HistoryRow row{entry, index == m_highlightedIndex, false, false, {}, sourceIcon(entry), now};
        if (entry.kind == ClipboardKind::image) {
            row.image = image(entry);
            row.image.spinnerStep = m_spinnerStep;
            loading = loading || row.image.state == HistoryImagePreview::State::loading;
        } else {
            row.texts = texts(entry);
        }
        const QRect card = visualRect(index);
        const qreal scale = scaleOf(index);
        painter.save();
        if (scale != 1) {
            const QPointF centre = QRectF(card).center();
            painter.translate(centre);
            painter.scale(scale, scale);
            painter.translate(-centre);
        }
        m_painter.paintRow(painter, card, row, *this);
        painter.restore();
    }
    if (loading && !m_spinnerTimer.isActive())
        m_spinnerTimer.start();
    else if (!loading)
        m_spinnerTimer.stop();
}

const HistoryRowTexts& QuickPasteList::texts(const ClipboardEntry& entry)
{
    auto found = m_texts.find(entry.id);
    if (found == m_texts.end())
        found = m_texts.insert(entry.id, HistoryRowTexts::of(entry));
    return *found;
}

HistoryRowImage QuickPasteList::image(const ClipboardEntry& entry)
{
    const QString fingerprint = entry.fingerprint;
    if (!m_thumbnails[fingerprint].requested) {
        m_thumbnails[fingerprint].requested = true;
        const std::optional<QByteArray> bytes = ImageDecoding::imageData(entry);
        if (!bytes) {
            m_thumbnails[fingerprint].state = HistoryImagePreview::State::failed;
        } else {
            m_requesting = true;
            m_thumbnailCache.request(
                fingerprint, *bytes, this, [this, fingerprint](std::optional<HistoryThumbnail> thumbnail) {
                    const auto found = m_thumbnails.find(fingerprint);
                    if (found == m_thumbnails.end())
                        return;
                    if (thumbnail && !thumbnail->image.isNull()) {
                        found->state = HistoryImagePreview::State::thumbnail;
                        found->image = std::move(thumbnail->image);
                        found->aspectRatio = qreal(found->image.width()) / found->image.height();
                    } else {
                        found->state = HistoryImagePreview::State::failed;
                    }
                    if (!m_requesting)
                        viewport()->update();
                });
            m_requesting = false;
        }
    }
    const Thumbnail& slot = m_thumbnails[fingerprint];
    return HistoryRowImage{slot.state, slot.image, slot.aspectRatio};
}

std::optional<QIcon> QuickPasteList::sourceIcon(const ClipboardEntry& entry)
{
    return m_icons.icon(SourceApplicationIdentity::of(entry));
}

void QuickPasteList::setHovered(std::optional<QUuid> id)
{
    if (id == m_hoveredID)
        return;
    m_hoveredID = id;
    viewport()->update();
}

void QuickPasteList::mouseMoveEvent(QMouseEvent* event)
{
    const int index = indexAt(event->position().toPoint());
    setHovered(index < 0 ? std::nullopt : std::optional(m_candidates[index].id));
}

bool QuickPasteList::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        setHovered(std::nullopt);
    return QAbstractScrollArea::viewportEvent(event);
}

void QuickPasteList::mousePressEvent(QMouseEvent* event)
{
    m_pressedIndex = event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()) : -1;
    event->accept();
}

void QuickPasteList::mouseReleaseEvent(QMouseEvent* event)
{
    const int pressed = std::exchange(m_pressedIndex, -1);
    event->accept();
    if (event->button() == Qt::LeftButton && pressed >= 0 && indexAt(event->position().toPoint()) == pressed)
        select(pressed);
}

void QuickPasteList::select(int index)
{
    if (onSelect && index >= 0 && index < m_candidates.size())
        onSelect(m_candidates[index].id);
}

// Whatever modifier is held, the wheel scrolls the rows: X delivers Shift or Alt scrolls as they are.
void QuickPasteList::wheelEvent(QWheelEvent* event)
{
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    int delta = 0;
    if (!pixels.isNull())
        delta = pixels.y() ? pixels.y() : pixels.x();
    else
        delta = (angle.y() ? angle.y() : angle.x()) * QApplication::wheelScrollLines() *
                verticalScrollBar()->singleStep() / 120;
    verticalScrollBar()->setValue(verticalScrollBar()->value() - delta);
    event->accept();
}
