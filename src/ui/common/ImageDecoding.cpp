#include "ui/common/ImageDecoding.h"

#include "models/ClipboardEntry.h"
#include "models/PasteboardType.h"

#include <QBuffer>
#include <QImageReader>

namespace ImageDecoding {

std::optional<DecodedImage> decode(const QByteArray& data, int maxPixelSize)
{
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // Qt's default limit refuses large images even when they are read scaled down; the limit is
    // process-wide, so it is raised once rather than swapped around each read.
    static const bool limitRaised = [] {
        if (QImageReader::allocationLimit() < 1024)
            QImageReader::setAllocationLimit(1024);
        return true;
    }();
    Q_UNUSED(limitRaised);
    QSize size = reader.size();
    const bool rotated = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    if (size.isValid() && std::max(size.width(), size.height()) > maxPixelSize)
        reader.setScaledSize(size.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    if (std::max(image.width(), image.height()) > maxPixelSize)
        image = image.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!size.isValid())
        size = rotated ? image.size().transposed() : image.size();
    return DecodedImage{std::move(image), rotated ? size.transposed() : size};
}

std::optional<QByteArray> imageData(const ClipboardEntry& entry)
{
    for (const PasteboardItemSnapshot& item : entry.items) {
        if (std::optional<QByteArray> png = item.data(PasteboardType::png))
            return png;
        if (std::optional<QByteArray> tiff = item.data(PasteboardType::tiff))
            return tiff;
    }
    return std::nullopt;
}

} // namespace ImageDecoding
