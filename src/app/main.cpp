#include "app/CaptureLog.h"
#include "platform/PlatformServices.h"
#include "services/ClipboardMonitor.h"

#include <QApplication>
#include <QTextStream>

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

    PlatformResult platform = createPlatformServices();
    if (!platform.services) {
        QTextStream(stderr) << platform.error << '\n';
        return 1;
    }

    QTextStream out(stdout);
    ClipboardMonitor monitor(*platform.services->pasteboard, *platform.services->workspace);
    monitor.onCapture = [&out](const ClipboardEntry& entry) {
        out << CaptureLog::describe(entry) << Qt::endl;
    };
    monitor.onNotice = [&out](L10n::Key notice) { out << CaptureLog::describe(notice) << Qt::endl; };
    monitor.start();
    out << "Clipwell is following the clipboard. Copy something; press Ctrl+C to stop." << Qt::endl;
    return QApplication::exec();
}
