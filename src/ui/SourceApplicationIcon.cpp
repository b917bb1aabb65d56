#include "ui/SourceApplicationIcon.h"

#include "ui/ClipboardKindIcon.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

namespace {

class HiddenAccessible : public QAccessibleWidget {
public:
    explicit HiddenAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::NoRole) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = true;
        return state;
    }
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1StringView("SourceApplicationIcon") && object && object->isWidgetType())
        return new HiddenAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

SourceApplicationIcon::SourceApplicationIcon(const ClipboardEntry& entry, QWidget* parent,
                                             SourceApplicationIconCache* cache)
    : QWidget(parent), m_identity(SourceApplicationIdentity::of(entry)), m_kind(entry.kind),
      m_cache(cache ? cache : SourceApplicationIconCache::shared())
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFixedSize(side, side);
    scheduleLookUp();
}

void SourceApplicationIcon::setEntry(const ClipboardEntry& entry)
{
    const SourceApplicationIdentity identity = SourceApplicationIdentity::of(entry);
    if (entry.kind != m_kind) {
        m_kind = entry.kind;
        update();
    }
    if (identity == m_identity)
        return;
    m_identity = identity;
    if (m_icon) {
        m_icon.reset();
        update();
        Q_EMIT iconChanged();
    }
    scheduleLookUp();
}

void SourceApplicationIcon::setColour(std::optional<QColor> colour)
{
    m_colour = colour;
    update();
}

QSize SourceApplicationIcon::sizeHint() const
{
    return {side, side};
}

// Deferred so that building a list of rows is not held up by the lookups; a row whose entry changes
// again before then looks up only the latest one.
void SourceApplicationIcon::scheduleLookUp()
{
    if (!m_cache || m_lookUpScheduled)
        return;
    m_lookUpScheduled = true;
    QMetaObject::invokeMethod(this, &SourceApplicationIcon::lookUp, Qt::QueuedConnection);
}

void SourceApplicationIcon::lookUp()
{
    m_lookUpScheduled = false;
    std::optional<QIcon> icon = m_cache->icon(m_identity);
    if (!icon && !m_icon)
        return;
    m_icon = std::move(icon);
    update();
    Q_EMIT iconChanged();
}

void SourceApplicationIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    if (m_icon) {
        const QPixmap pixmap = m_icon->pixmap(QSize(side, side), ratio);
        if (!pixmap.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            QSizeF target = pixmap.deviceIndependentSize();
            target.scale(width(), height(), Qt::KeepAspectRatio);
            painter.drawPixmap(
                QRectF(QPointF((width() - target.width()) / 2, (height() - target.height()) / 2), target),
                pixmap, QRectF(pixmap.rect()));
            return;
        }
    }
    const QColor colour = m_colour.value_or(palette().color(foregroundRole()));
    painter.drawPixmap((width() - kindIconSize) / 2, (height() - kindIconSize) / 2,
                       ClipboardKindIcon::pixmap(m_kind, kindIconSize, ratio, colour));
}
