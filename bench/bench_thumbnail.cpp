// Thumbnail of a 4000 × 3000 image, as PNG and as TIFF: decode time and the extra peak memory.
// Each format is measured in a fresh child process, so one format's high-water mark cannot hide the
// other's.
#include "BenchFigures.h"
#include "support/EncodedImage.h"
#include "ui/common/HistoryThumbnailCache.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

namespace {

constexpr int runs = 7;
constexpr double timeTarget = 150;
constexpr double memoryTarget = 80;

// The process's resident high-water mark. ru_maxrss would do, but it carries the parent's peak over
// exec, and the parent holds the full-size test image.
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Lowers the high-water mark to what is resident now, so that the next peak is the decode's own.
void resetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

// Smooth gradients with a little noise, as a photo or screenshot would have, so the encoders neither
// collapse it to nothing nor face pure noise.
QImage photoLike(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator generator(7);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int noise = int(generator.bounded(16));
            line[x] = qRgb((x * 255 / size.width() + noise) & 0xff, (y * 255 / size.height() + noise) & 0xff,
                           ((x + y) / 32 + noise) & 0xff);
        }
    }
    return image;
}

// Prints "<median ms> <min ms> <extra peak MB> <thumbnail WxH> <source WxH>".
int child(const QString& path, const char* format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray data = file.readAll();
    // Loads the format's plugin, which is not what is being measured.
    HistoryThumbnailCache::decode(encodedImage(QImage(8, 8, QImage::Format_RGB32), format));

    resetPeak();
    const double before = peakMegabytes();
    QList<double> times;
    std::optional<HistoryThumbnail> thumbnail;
    double extra = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        thumbnail = HistoryThumbnailCache::decode(data);
        times.append(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (run == 0)
            extra = peakMegabytes() - before;
        if (!thumbnail)
            return 2;
    }
    QTextStream(stdout) << median(times) << ' ' << *std::min_element(times.begin(), times.end()) << ' '
                        << extra << ' ' << thumbnail->image.width() << 'x' << thumbnail->image.height() << ' '
                        << thumbnail->pixelSize.width() << 'x' << thumbnail->pixelSize.height() << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--child")
        return child(QString::fromLocal8Bit(argv[2]), argv[3]);

    QTextStream out(stdout);
    QTemporaryDir directory;
    const QImage image = photoLike({4000, 3000});
    for (const char* format : {"png", "tiff"}) {
        const QByteArray data = encodedImage(image, format);
        const QString path = directory.filePath(QString::fromLatin1(format));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            return 1;
        file.close();

        QProcess process;
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--child"), path, QString::fromLatin1(format)});
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            out << format << ": decoding failed\n";
            return 1;
        }
        const QStringList fields = QString::fromLocal8Bit(process.readAllStandardOutput()).split(u' ');
        const double medianMs = fields.value(0).toDouble();
        const double peak = fields.value(2).toDouble();
        const bool met = medianMs < timeTarget && peak < memoryTarget;
        out << Qt::left << qSetFieldWidth(5) << format << qSetFieldWidth(0)
            << QString::number(data.size() / 1048576.0, 'f', 1) << " MiB encoded, thumbnail "
            << fields.value(3) << " of " << fields.value(4).trimmed() << ": median "
            << QString::number(medianMs, 'f', 1) << " ms (min "
            << QString::number(fields.value(1).toDouble(), 'f', 1) << "), extra peak "
            << QString::number(peak, 'f', 1) << " MB; target < " << timeTarget << " ms, < " << memoryTarget
            << " MB: " << (met ? "met" : "MISSED") << '\n';
    }
    return 0;
}
