#include "app/AppModel.h"
#include "app/CaptureLog.h"
#include "app/Localization.h"
#include "app/Preferences.h"
#include "platform/PlatformServices.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};

// Only an async-signal-safe write here; the event loop does the rest.
void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

void quitOnTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] { QCoreApplication::quit(); });
    std::signal(SIGINT, onTerminationSignal);
    std::signal(SIGTERM, onTerminationSignal);
}

} // namespace

int main(int argc, char** argv)
{
    // Clipboard reads, the global chord and synthetic paste all need X11; under Wayland that is XWayland.
    qputenv("QT_QPA_PLATFORM", "xcb");
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QTextStream(stderr) << (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                                    ? "Clipwell needs a graphical X11 session, and DISPLAY is not set.\n"
                                    : "Clipwell needs X11. This Wayland session has no XWayland "
                                      "(DISPLAY is not set), so the clipboard cannot be followed.\n");
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Clipwell"));
    QApplication::setOrganizationName(QStringLiteral("Clipwell"));
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnTerminationSignals();

    PlatformResult platform = createPlatformServices();
    if (!platform.services) {
        QTextStream(stderr) << platform.error << '\n';
        return 1;
    }
    AppLocalization::shared();

    QTextStream out(stdout);
    AppModel model(*platform.services->pasteboard, *platform.services->workspace, Preferences::standard());
    QObject::connect(&model, &AppModel::entriesChanged, &model,
                     [&] { out << CaptureLog::describe(model.entries()) << Qt::flush; });
    QObject::connect(&model, &AppModel::errorMessageChanged, &model, [&] {
        if (model.errorMessage())
            out << "error: " << model.errorMessage()->text() << Qt::endl;
    });
    QObject::connect(&model, &AppModel::activityMessageChanged, &model, [&] {
        if (model.activityMessage())
            out << "notice: " << model.activityMessage()->text() << Qt::endl;
    });
    QObject::connect(&model, &AppModel::isLoadingChanged, &model, [&] {
        out << "Clipwell is following the clipboard; the history is kept in " << model.repository().filePath()
            << ". Copy something; press Ctrl+C to stop." << Qt::endl;
        // A loaded history was printed as it arrived.
        if (model.entries().isEmpty())
            out << CaptureLog::describe(model.entries()) << Qt::flush;
    });
    model.start();

    const int status = QApplication::exec();
    if (const std::optional<HistoryRepository::Error> error = model.flush()) {
        QTextStream(stderr) << "The history could not be saved: " << error->localizedDescription() << '\n';
        return 1;
    }
    return status;
}
