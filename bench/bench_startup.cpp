// The real binary on the display in DISPLAY: time from launch to the history window being mapped, idle
// CPU and resident memory. Each run gets a home of its own, so the history is the one written here.
#include "BenchSession.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

struct Running {
    std::unique_ptr<QProcess> process;
    double startMs = 0;
};

Running launch(const Home& home)
{
    MapWatcher watcher;
    Running running{std::make_unique<QProcess>()};
    running.process->setProcessEnvironment(home.environment());
    running.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    running.process->start(QStringLiteral(CLIPWELL_BINARY), {});
    if (!watcher.isValid() || !watcher.waitForClipwell(30000)) {
        out << "the history window did not appear\n";
        std::exit(1);
    }
    running.startMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return running;
}

void quit(Running& running)
{
    running.process->terminate();
    running.process->waitForFinished(30000);
}

qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The fields after the command name, which may itself hold spaces.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

// One line of /proc/<pid>/status, in MB.
double statusMB(qint64 pid, const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble() * 1024.0 / 1e6;
    }
    return 0;
}

double idlePercent(qint64 pid, int seconds)
{
    const qint64 before = cpuTicks(pid);
    QElapsedTimer timer;
    timer.start();
    QThread::sleep(seconds);
    return 100.0 * static_cast<double>(cpuTicks(pid) - before) / static_cast<double>(::sysconf(_SC_CLK_TCK)) /
           (static_cast<double>(timer.nsecsElapsed()) / 1e9);
}

// As when the user turns to another application: the history window loses the keyboard focus.
void focusElsewhere()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT,
                        XCB_CURRENT_TIME);
    xcb_flush(connection);
    xcb_disconnect(connection);
}

double medianStartMs(const Home& home, int runs)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        Running running = launch(home);
        times.append(running.startMs);
        quit(running);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    constexpr int runs = 7;
    const Home empty({});
    out << "start to history window, empty history:        "
        << QString::number(medianStartMs(empty, runs), 'f', 1) << " ms (median of " << runs
        << ", target <= 300)\n"
        << Qt::flush;

    const Home full(imageHistory());
    out << "start to history window, 200 images (64 MiB):  "
        << QString::number(medianStartMs(full, runs), 'f', 1) << " ms (median of " << runs
        << ", target <= 300)\n"
        << Qt::flush;

    {
        Running running = launch(full);
        const qint64 pid = running.process->processId();
        QThread::sleep(3);
        out << "idle CPU over 60 s, 200 images, window in front: "
            << QString::number(idlePercent(pid, 60), 'f', 3) << " % (no target; the window is active)\n"
            << Qt::flush;
        focusElsewhere();
        QThread::sleep(1);
        out << "idle CPU over 60 s, 200 images, in background:   "
            << QString::number(idlePercent(pid, 60), 'f', 3) << " % (target <= 0.1)\n"
            << Qt::flush;
        quit(running);
    }

    const Home text(textHistory());
    Running running = launch(text);
    QThread::sleep(2);
    const qint64 pid = running.process->processId();
    out << "resident memory after start, 200 text entries: "
        << QString::number(statusMB(pid, "VmRSS"), 'f', 1)
        << " MB (target < 45): " << QString::number(statusMB(pid, "RssFile"), 'f', 1)
        << " MB mapped files (libraries, fonts), " << QString::number(statusMB(pid, "RssAnon"), 'f', 1)
        << " MB own memory, " << QString::number(statusMB(pid, "RssShmem"), 'f', 1)
        << " MB shared with the X server\n";
    quit(running);
    return 0;
}
