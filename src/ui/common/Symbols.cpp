#include "ui/common/Symbols.h"

#include <QDir>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <cmath>

// The symbols live in a static library: registered by name before the first lookup (outside any
// namespace, as Q_INIT_RESOURCE requires).
static void initResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(clipwell_icons);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

// Renders afresh at every requested size, so menus and the tray stay sharp at any scale.
class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(QString name, QColor colour) : m_name(std::move(name)), m_colour(colour) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap symbol = pixmap(rect.size(), mode, state, ratio);
        painter->drawPixmap(rect, symbol);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return pixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return pixmap(size, mode, state, scale);
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(m_name, m_colour); }
    QString key() const override { return QStringLiteral("ClipwellSymbol"); }

private:
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal ratio) const
    {
        QColor colour = m_colour;
        if (mode == QIcon::Disabled)
            colour.setAlphaF(colour.alphaF() * 0.4f);
        return Symbols::pixmap(m_name, std::min(size.width(), size.height()), ratio, colour);
    }

    QString m_name;
    QColor m_colour;
};

} // namespace

namespace Symbols {

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/icons/%1.svg").arg(name);
}

bool exists(const QString& name)
{
    initResources();
    return QFile::exists(resourcePath(name));
}

QStringList names()
{
    initResources();
    QStringList result;
    const QStringList files =
        QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString& file : files)
        result.append(file.chopped(4));
    result.sort();
    return result;
}

QImage image(const QString& name, int size, qreal devicePixelRatio, const QColor& colour)
{
    initResources();
    const int pixels = static_cast<int>(std::lround(size * devicePixelRatio));
    if (pixels <= 0)
        return {};
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid())
        return {};

    QImage result(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    // The symbol's own coverage becomes the mask for the tint.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), colour);
    painter.end();
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QPixmap pixmap(const QString& name, int size, qreal devicePixelRatio, const QColor& colour)
{
    const QString key = QStringLiteral("clipwell.symbol/%1/%2/%3/%4")
                            .arg(name)
                            .arg(size)
                            .arg(devicePixelRatio)
                            .arg(colour.rgba(), 8, 16, QLatin1Char('0'));
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    const QImage rendered = image(name, size, devicePixelRatio, colour);
    if (rendered.isNull())
        return {};
    cached = QPixmap::fromImage(rendered);
    QPixmapCache::insert(key, cached);
    return cached;
}

QIcon icon(const QString& name, const QColor& colour)
{
    return QIcon(new SymbolIconEngine(name, colour));
}

} // namespace Symbols
