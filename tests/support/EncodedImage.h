#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

// An image as a copy would carry it: encoded in format, optionally tagged with an orientation.
inline QByteArray encodedImage(const QImage& image, const char* format,
                               QImageIOHandler::Transformations transformation = {})
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setTransformation(transformation);
    writer.write(image);
    return bytes;
}
