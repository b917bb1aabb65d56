#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

struct ClipboardEntry;

struct DecodedImage {
    QImage image;
    // The source's size in pixels, as it is shown: width and height swap for rotated photos.
    QSize pixelSize;
};

namespace ImageDecoding {

// Decodes PNG, TIFF or any format Qt reads, scaled down so that the long side is at most
// maxPixelSize, orientation applied. Never call it on the GUI thread for real data.
std::optional<DecodedImage> decode(const QByteArray& data, int maxPixelSize);

// The first item's PNG data, else its TIFF data, from the first item that has either.
std::optional<QByteArray> imageData(const ClipboardEntry& entry);

} // namespace ImageDecoding
