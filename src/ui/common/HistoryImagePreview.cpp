#include "ui/common/HistoryImagePreview.h"

#include "l10n/Localization.h"
#include "ui/common/ActivityIndicator.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/ImageDecoding.h"
#include "ui/common/Symbols.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <algorithm>

namespace {

constexpr int failureSymbolSize = 24;
constexpr qreal failureTextPointSize = 12;
constexpr int failureSpacing = 6;
constexpr int spinnerSize = 16;

// A picture, not a group: screen readers read the label and stop.
class PreviewAccessible : public QAccessibleWidget {
public:
    explicit PreviewAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Graphic) {}
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1StringView("HistoryImagePreview") && object && object->isWidgetType())
        return new PreviewAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

void paintThumbnail(QPainter& painter, const QRect& rect, const QImage& thumbnail, QPixmap& scaled,
                    qreal ratio)
{
    const QRect content =
        rect.adjusted(HistoryImagePreview::horizontalPadding, HistoryImagePreview::verticalPadding,
                      -HistoryImagePreview::horizontalPadding, -HistoryImagePreview::verticalPadding);
    if (content.isEmpty() || thumbnail.isNull())
        return;
    const QSize target = thumbnail.size().scaled(content.size(), Qt::KeepAspectRatio);
    const QSize pixels = (QSizeF(target) * ratio).toSize();
    // Scaled once per size rather than on every paint; the pixmap is made here, on the GUI thread.
    if (scaled.size() != pixels || scaled.devicePixelRatio() != ratio) {
        scaled =
            QPixmap::fromImage(thumbnail.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        scaled.setDevicePixelRatio(ratio);
    }
    const QPoint origin(content.x() + (content.width() - target.width()) / 2,
                        content.y() + (content.height() - target.height()) / 2);
    painter.drawPixmap(origin, scaled);
}

void paintFailure(QPainter& painter, const QRect& rect, const QPalette& palette, const QFont& font,
                  qreal ratio)
{
    const QColor colour = HistoryAppearance::resolve(HistoryAppearance::Colour::secondary, palette);
    QFont textFont = font;
    textFont.setPointSizeF(failureTextPointSize);
    const QFontMetrics metrics(textFont);
    const int stackHeight = failureSymbolSize + failureSpacing + metrics.height();
    const int top = rect.y() + (rect.height() - stackHeight) / 2;
    painter.drawPixmap(rect.x() + (rect.width() - failureSymbolSize) / 2, top,
                       Symbols::pixmap(QStringLiteral("photo"), failureSymbolSize, ratio, colour));
    const QString text = L10n::text(L10n::Key::previewFailed);
    painter.setFont(textFont);
    painter.setPen(colour);
    const QRect textRect(rect.x(), top + failureSymbolSize + failureSpacing, rect.width(), metrics.height());
    painter.drawText(textRect, Qt::AlignCenter, metrics.elidedText(text, Qt::ElideRight, rect.width()));
}

void paintSpinner(QPainter& painter, const QRect& rect, int step, const QPalette& palette)
{
    ActivityIndicator::paint(painter, QRectF(rect).center(), spinnerSize,
                             HistoryAppearance::resolve(HistoryAppearance::Colour::secondary, palette), step);
}

} // namespace

HistoryImagePreview::HistoryImagePreview(const ClipboardEntry& entry, std::optional<int> fixedHeight,
                                         QWidget* parent, HistoryThumbnailCache* cache)
    : QWidget(parent), m_entry(entry), m_fixedHeight(fixedHeight),
      m_cache(cache ? *cache : HistoryThumbnailCache::shared())
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    QSizePolicy policy(QSizePolicy::Preferred, m_fixedHeight ? QSizePolicy::Fixed : QSizePolicy::Preferred);
    policy.setHeightForWidth(!m_fixedHeight);
    setSizePolicy(policy);
    if (m_fixedHeight)
        setFixedHeight(*m_fixedHeight);
    m_spinnerTimer.setInterval(spinnerInterval);
    connect(&m_spinnerTimer, &QTimer::timeout, this, [this] {
        m_spinnerStep = (m_spinnerStep + 1) % spinnerSpokes;
        update();
    });
    load();
}

void HistoryImagePreview::setEntry(const ClipboardEntry& entry)
{
    const bool sameImage = entry.fingerprint == m_entry.fingerprint;
    m_entry = entry;
    if (sameImage)
        return;
    m_thumbnail.reset();
    m_scaled = QPixmap();
    m_failed = false;
    m_aspectRatio = initialAspectRatio;
    load();
    updateGeometry();
    update();
}

HistoryImagePreview::State HistoryImagePreview::state() const
{
    if (m_thumbnail)
        return State::thumbnail;
    return m_failed ? State::failed : State::loading;
}

void HistoryImagePreview::load()
{
    delete m_request;
    m_request = nullptr;
    updateAccessibleName();
    const std::optional<QByteArray> imageData = ImageDecoding::imageData(m_entry);
    if (!imageData) {
        fail();
        return;
    }
    m_request = new QObject(this);
    m_cache.request(m_entry.fingerprint, *imageData, m_request,
                    [this](std::optional<HistoryThumbnail> thumbnail) { apply(std::move(thumbnail)); });
    updateSpinner();
}

void HistoryImagePreview::apply(std::optional<HistoryThumbnail> thumbnail)
{
    if (!thumbnail || thumbnail->image.isNull()) {
        fail();
        return;
    }
    m_thumbnail = std::move(thumbnail);
    m_scaled = QPixmap();
    m_aspectRatio = qreal(m_thumbnail->image.width()) / m_thumbnail->image.height();
    updateAccessibleName();
    updateSpinner();
    updateGeometry();
    update();
    Q_EMIT stateChanged(State::thumbnail);
}

void HistoryImagePreview::fail()
{
    m_failed = true;
    updateAccessibleName();
    updateSpinner();
    update();
    Q_EMIT stateChanged(State::failed);
}

void HistoryImagePreview::updateAccessibleName()
{
    switch (state()) {
    case State::thumbnail:
        setAccessibleName(L10n::format(L10n::Key::imageDimensions, m_thumbnail->pixelSize.width(),
                                       m_thumbnail->pixelSize.height()));
        break;
    case State::failed:
        setAccessibleName(L10n::text(L10n::Key::imageFailedAccessibility));
        break;
    case State::loading:
        setAccessibleName(L10n::text(L10n::Key::imageLoadingAccessibility));
        break;
    }
}

void HistoryImagePreview::updateSpinner()
{
    if (state() == State::loading && isVisible())
        m_spinnerTimer.start();
    else
        m_spinnerTimer.stop();
}

bool HistoryImagePreview::hasHeightForWidth() const
{
    return !m_fixedHeight;
}

int HistoryImagePreview::heightForWidth(int width) const
{
    if (m_fixedHeight)
        return *m_fixedHeight;
    return heightForWidth(width, m_aspectRatio);
}

int HistoryImagePreview::heightForWidth(int width, double aspectRatio)
{
    return std::clamp(qRound(width / aspectRatio), minimumPreviewHeight, maximumPreviewHeight);
}

QSize HistoryImagePreview::sizeHint() const
{
    const int width = 320;
    return {width, heightForWidth(width)};
}

QSize HistoryImagePreview::minimumSizeHint() const
{
    return {2 * horizontalPadding, m_fixedHeight.value_or(minimumPreviewHeight)};
}

void HistoryImagePreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), state(), m_thumbnail ? m_thumbnail->image : QImage(), m_scaled, m_spinnerStep,
          palette(), font(), devicePixelRatioF());
}

void HistoryImagePreview::paint(QPainter& painter, const QRect& rect, State state, const QImage& thumbnail,
                                QPixmap& scaled, int spinnerStep, const QPalette& palette, const QFont& font,
                                qreal devicePixelRatio)
{
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect), cornerRadius, cornerRadius);
    painter.setClipPath(clip, Qt::IntersectClip);
    switch (state) {
    case State::thumbnail:
        paintThumbnail(painter, rect, thumbnail, scaled, devicePixelRatio);
        break;
    case State::failed:
        paintFailure(painter, rect, palette, font, devicePixelRatio);
        break;
    case State::loading:
        paintSpinner(painter, rect, spinnerStep, palette);
        break;
    }
    painter.restore();
}

void HistoryImagePreview::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        updateAccessibleName();
    QWidget::changeEvent(event);
}

void HistoryImagePreview::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateSpinner();
}

void HistoryImagePreview::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateSpinner();
}
