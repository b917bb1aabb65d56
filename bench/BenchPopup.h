#pragma once

// What the popup benches share: a history row (a long note, or every so often an image) and a wait
// that keeps the event loop turning.
#include "models/PasteboardType.h"
#include "support/EncodedImage.h"
#include "support/EntryBuilder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLinearGradient>
#include <QPainter>
#include <functional>

// Entry `index` of the history; one in `imageEvery` is an image of that size.
inline ClipboardEntry popupBenchEntry(int index, int imageEvery, QSize imageSize)
{
    const double time = 800000000.0 - index * 611;
    if (index % imageEvery != 2)
        return makeEntry(
            QStringLiteral("Meeting notes %1: the quarterly figures are in, and the review moves "
                           "to Thursday afternoon so everyone can attend")
                .arg(index),
            time, 0, QStringLiteral("Text Editor"));
    QImage image(imageSize, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, image.width(), image.height());
    gradient.setColorAt(0, QColor::fromHsv(index * 37 % 360, 160, 230));
    gradient.setColorAt(1, QColor::fromHsv(index * 91 % 360, 200, 120));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    ClipboardEntry entry = makeEntry(QString(), time, 0, QStringLiteral("Image Viewer"));
    entry.kind = ClipboardKind::image;
    entry.plainText.reset();
    entry.items = {{{{PasteboardType::png, encodedImage(image, "png")}}}};
    return refreshed(entry);
}

// Turns the event loop until the condition holds; false after the time given.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}
