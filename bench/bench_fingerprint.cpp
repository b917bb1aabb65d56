// Fingerprint of a 12 MiB copy next to `openssl dgst -sha256` over the same bytes.
#include "BenchFigures.h"
#include "models/ClipboardEntry.h"
#include "models/PasteboardType.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTextStream>
#include <algorithm>

namespace {

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    constexpr int runs = 15;
    constexpr qsizetype size = 12 * 1024 * 1024;

    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    const QList<PasteboardItemSnapshot> items{{{{PasteboardType::png, data}}}};

    QList<double> ours;
    QString digest;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        digest = ClipboardEntry::fingerprintOf(items);
        ours.append(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }

    // openssl hashes the bare bytes; the fingerprint adds 42 bytes of framing, which is noise here.
    QTemporaryFile file;
    file.open();
    file.write(data);
    file.flush();
    QList<double> openssl;
    QList<double> startup;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        QProcess process;
        timer.start();
        process.start(QStringLiteral("openssl"),
                      {QStringLiteral("dgst"), QStringLiteral("-sha256"), file.fileName()});
        process.waitForFinished();
        openssl.append(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        QProcess empty;
        timer.start();
        empty.start(QStringLiteral("openssl"),
                    {QStringLiteral("dgst"), QStringLiteral("-sha256"), QStringLiteral("/dev/null")});
        empty.waitForFinished();
        startup.append(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }

    const double oursMs = median(ours);
    const double opensslMs = median(openssl) - median(startup);
    out << "fingerprint of 12 MiB (median of " << runs << "): " << oursMs << " ms ("
        << (static_cast<double>(size) / (1 << 30)) / (oursMs / 1000) << " GiB/s)\n";
    out << "openssl dgst -sha256 of the same bytes: " << median(openssl) << " ms, " << median(startup)
        << " ms of it process start-up; hashing alone " << opensslMs << " ms\n";
    out << "ratio (ours / openssl hashing): " << oursMs / opensslMs << " (target <= 1.2)\n";
    out << "digest " << digest.left(16) << "...\n";
    return 0;
}
