#include "ui/common/StatusBarIcon.h"

#include "ui/common/Symbols.h"

#include <QPainter>
#include <QPixmap>
#include <cmath>
#include <numbers>

namespace {

const QColor glyphColour(0xFA, 0xFA, 0xFA);
const QColor outlineColour(0x1C, 0x1C, 0x1E, 0xE0);
// The system orange: reads on white and on black.
const QColor pausedColour(0xFF, 0x95, 0x00);

} // namespace

namespace StatusBarIcon {

QImage image(int size, qreal devicePixelRatio, bool paused)
{
    const int pixels = std::max(1, qRound(size * devicePixelRatio));
    QImage canvas(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    const QString name = QStringLiteral("StatusBarIcon");
    if (!Symbols::exists(name))
        return canvas;
    // The outline is the glyph stamped all round it, about a pixel out at 22 pixels.
    const qreal reach = std::max(1.0, pixels / 20.0);
    const int inset = int(std::ceil(reach));
    const int glyphSize = pixels - 2 * inset;
    const QImage outline = Symbols::image(name, glyphSize, 1, outlineColour);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int step = 0; step < 16; ++step) {
        const double angle = step * std::numbers::pi / 8;
        painter.drawImage(QPointF(inset + reach * std::cos(angle), inset + reach * std::sin(angle)), outline);
    }
    painter.drawImage(inset, inset, Symbols::image(name, glyphSize, 1, glyphColour));
    if (paused) {
        // A pause badge over the lower right corner, ringed in the outline's colour.
        const qreal badge = pixels * 0.56;
        const QRectF disc(pixels - badge, pixels - badge, badge, badge);
        painter.setPen(Qt::NoPen);
        painter.setBrush(outlineColour);
        painter.drawEllipse(disc);
        painter.setBrush(pausedColour);
        painter.drawEllipse(disc.adjusted(reach, reach, -reach, -reach));
        painter.setBrush(Qt::white);
        const qreal bar = badge * 0.14;
        const qreal height = badge * 0.42;
        const QPointF centre = disc.center();
        painter.drawRect(QRectF(centre.x() - 1.5 * bar, centre.y() - height / 2, bar, height));
        painter.drawRect(QRectF(centre.x() + 0.5 * bar, centre.y() - height / 2, bar, height));
    }
    painter.end();
    canvas.setDevicePixelRatio(devicePixelRatio);
    return canvas;
}

QIcon icon(bool paused)
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        for (const qreal ratio : {1.0, 2.0})
            icon.addPixmap(QPixmap::fromImage(image(size, ratio, paused)));
    return icon;
}

} // namespace StatusBarIcon
