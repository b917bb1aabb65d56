#include "ui/common/SourceApplicationIcon.h"

#include "ui/common/ClipboardKindIcon.h"

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
    paint(painter, rect(), m_icon ? &*m_icon : nullptr, m_kind,
          m_colour.value_or(palette().color(foregroundRole())), devicePixelRatioF());
}

void SourceApplicationIcon::paint(QPainter& painter, const QRect& frame, const QIcon* icon,
                                  ClipboardKind kind, const QColor& kindColour, qreal devicePixelRatio)
{
    if (icon) {
        const QPixmap pixmap = icon->pixmap(QSize(side, side), devicePixelRatio);
        if (!pixmap.isNull()) {
            painter.save();
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            QSizeF target = pixmap.deviceIndependentSize();
            target.scale(frame.width(), frame.height(), Qt::KeepAspectRatio);
            painter.drawPixmap(QRectF(QPointF(frame.x() + (frame.width() - target.width()) / 2,
                                              frame.y() + (frame.height() - target.height()) / 2),
                                      target),
                               pixmap, QRectF(pixmap.rect()));
            painter.restore();
            return;
        }
    }
    painter.drawPixmap(frame.x() + (frame.width() - kindIconSize) / 2,
                       frame.y() + (frame.height() - kindIconSize) / 2,
                       ClipboardKindIcon::pixmap(kind, kindIconSize, devicePixelRatio, kindColour));
}
