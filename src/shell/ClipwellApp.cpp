#include "shell/ClipwellApp.h"

#include "app/AppModel.h"
#include "app/LoginItemService.h"
#include "app/Preferences.h"
#include "app/QuickPasteController.h"
#include "l10n/Localization.h"
#include "platform/PlatformServices.h"
#include "platform/wayland/WaylandPlatformServices.h"
#include "platform/x11/X11PlatformServices.h"
#include "shell/AppCoordinator.h"
#include "shell/SingleInstance.h"
#include "shell/TerminationSignals.h"
#include "ui/common/SourceApplicationIconCache.h"
#include "ui/quickpaste/LayerShellQuickPastePopup.h"
#include "ui/quickpaste/QuickPastePanelController.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QSessionManager>
#include <QTextStream>
#include <string_view>
#include <xcb/xcb.h>

Q_LOGGING_CATEGORY(lcPlatform, "app.clipwell.mac.Platform", QtInfoMsg)

namespace ClipwellApp {

namespace {

std::optional<Backend> backendNamed(const QString& name)
{
    if (name == u"x11")
        return Backend::x11;
    if (name == u"wayland")
        return Backend::wayland;
    return std::nullopt;
}

// Anything that asks Qt to quit (the platform, the session manager, a stray quit()) is sent through
// the coordinator's quit flow instead.
class QuitEventFilter final : public QObject {
public:
    explicit QuitEventFilter(AppCoordinator& coordinator) : m_coordinator(coordinator) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == qApp && event->type() == QEvent::Quit) {
            m_coordinator.requestQuit();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    AppCoordinator& m_coordinator;
};

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Clipwell"));
    QCoreApplication::setOrganizationName(QStringLiteral("Clipwell"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CLIPWELL_VERSION));
}

void configureApplication()
{
    // Matches the installed desktop entry, so panels group the window under it.
    QGuiApplication::setDesktopFileName(QStringLiteral("clipwell"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("clipwell"), QIcon(QStringLiteral(":/app/clipwell.svg"))));
    // A resident application: the history window and any alert close without ending it.
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace

std::variant<Options, int> parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Session managers restart their clients with "-session ID", in Qt's single-dash style.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Clipwell keeps a history of what you copy, so that you can find it and copy it again."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption background(
        XdgAutostartLoginItemService::backgroundArgument.mid(2),
        QStringLiteral("Start in the tray without opening the history window, as at login. Launching "
                       "Clipwell again opens it."));
    parser.addOption(background);
    const QCommandLineOption quickPaste(
        QStringLiteral("quick-paste"),
        QStringLiteral("Open quick paste in the running Clipwell, as Super+Shift+V does; for a Wayland "
                       "compositor's key binding (sway needs none). Starts Clipwell in the background when "
                       "it is not running."));
    parser.addOption(quickPaste);
    const QCommandLineOption backend(
        QStringLiteral("backend"),
        QStringLiteral("Run on this backend instead of the one the session suggests: x11 (XWayland "
                       "included) or wayland (a compositor that lets applications follow the clipboard)."),
        QStringLiteral("x11|wayland"));
    parser.addOption(backend);
    QCommandLineOption session(QStringLiteral("session"), QString(), QStringLiteral("id"));
    session.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(session);
    // Qt's own options are Qt's to take, once the application object is made.
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "display",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "geometry", "style",
                             "stylesheet", "name", "title", "reverse", "nograb", "dograb", "sync"}) {
        const bool flag = std::string_view(name) == "reverse" || std::string_view(name) == "nograb" ||
                          std::string_view(name) == "dograb" || std::string_view(name) == "sync";
        QCommandLineOption option(QString::fromLatin1(name), QString(),
                                  flag ? QString() : QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all"))) {
        // Without an application object Qt does not know the program's name.
        QTextStream(stdout) << parser.helpText().replace(
            QStringLiteral("<executable_name>"),
            QFileInfo(arguments.value(0, QStringLiteral("clipwell"))).fileName());
        return 0;
    }
    if (parser.isSet(version)) {
        QTextStream(stdout) << QCoreApplication::applicationName() << ' '
                            << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    if (!parsed || !parser.positionalArguments().isEmpty()) {
        const QString problem =
            parsed ? QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().constFirst())
                   : parser.errorText();
        QTextStream(stderr) << problem << '\n' << QStringLiteral("See clipwell --help.") << '\n';
        return 2;
    }
    std::optional<Backend> forced;
    if (parser.isSet(backend)) {
        forced = backendNamed(parser.value(backend));
        if (!forced) {
            QTextStream(stderr)
                << QStringLiteral("Unknown backend \"%1\": use x11 or wayland.").arg(parser.value(backend))
                << '\n'
                << QStringLiteral("See clipwell --help.") << '\n';
            return 2;
        }
    }
    // A session restored at login is a start at login.
    return Options{parser.isSet(background) || parser.isSet(session) || parser.isSet(quickPaste),
                   parser.isSet(quickPaste), forced};
}

std::variant<BackendChoice, QString> chooseBackend(const QByteArray& display,
                                                   const QByteArray& waylandDisplay,
                                                   std::optional<Backend> forced,
                                                   const WaylandProbeRun& probe)
{
    const QString noDisplay = QStringLiteral("there is no X11 display (DISPLAY is not set)");
    if (forced == Backend::x11) {
        if (display.isEmpty())
            return QStringLiteral("Clipwell cannot run on X11 as --backend x11 asks: %1.").arg(noDisplay);
        return BackendChoice{Backend::x11, QStringLiteral("asked for with --backend x11")};
    }
    if (waylandDisplay.isEmpty()) {
        if (forced)
            return QStringLiteral("Clipwell cannot run on Wayland as --backend wayland asks: there is no "
                                  "Wayland compositor (WAYLAND_DISPLAY is not set).");
        if (display.isEmpty())
            return QStringLiteral("Clipwell needs a graphical session, and finds none: %1, and there is no "
                                  "Wayland compositor with clipboard access (WAYLAND_DISPLAY is not set).")
                .arg(noDisplay);
        return BackendChoice{Backend::x11,
                             QStringLiteral("no Wayland compositor (WAYLAND_DISPLAY is not set)")};
    }

    const WaylandProbe answer = probe(waylandDisplay);
    const QString compositor = QString::fromLocal8Bit(waylandDisplay);
    if (!answer.dataControl.isEmpty()) {
        const QString offers = QStringLiteral("the Wayland compositor \"%1\" offers %2")
                                   .arg(compositor, QString::fromLatin1(answer.dataControl));
        return BackendChoice{Backend::wayland,
                             forced ? QStringLiteral("asked for with --backend wayland; ") + offers : offers};
    }
    // Why the compositor cannot serve as the backend, as the middle of a sentence.
    QString lack;
    if (answer.connected)
        lack = QStringLiteral("the Wayland compositor \"%1\" answers but does not let applications follow "
                              "the clipboard (it offers neither ext_data_control_manager_v1 nor "
                              "zwlr_data_control_manager_v1 version 2)")
                   .arg(compositor);
    else
        lack = QStringLiteral("no Wayland compositor answers at \"%1\"").arg(compositor);
    if (forced)
        return QStringLiteral("Clipwell cannot run on Wayland as --backend wayland asks: %1.").arg(lack);
    if (display.isEmpty())
        return QStringLiteral("Clipwell needs an X11 display or a Wayland compositor with clipboard access, "
                              "and finds neither: %1, and %2. Start XWayland, or use a compositor that "
                              "offers data-control (sway and other wlroots compositors, KDE Plasma).")
            .arg(noDisplay, lack);
    return BackendChoice{Backend::x11, lack + QStringLiteral("; X11 through XWayland instead")};
}

std::optional<QString> x11DisplayProblem(const QByteArray& display, bool underWayland)
{
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(display.constData(), &screen);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (!failed)
        return std::nullopt;
    QString message =
        QStringLiteral("Clipwell cannot open the X display \"%1\": the X server does not answer "
                       "or does not let this user connect.")
            .arg(QString::fromLocal8Bit(display));
    if (underWayland)
        message +=
            QStringLiteral(" In a Wayland session that display is XWayland's; make sure XWayland runs.");
    return message;
}

int run(int argc, char** argv)
{
    nameApplication();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const std::variant<Options, int> command = parseCommandLine(arguments);
    if (const int* status = std::get_if<int>(&command))
        return *status;
    const Options options = std::get<Options>(command);

    // A press of the chord through the compositor's binding: the running instance needs only the line.
    if (options.quickPaste && SingleInstance::sendQuickPaste())
        return 0;

    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    const std::variant<BackendChoice, QString> chosen =
        chooseBackend(display, waylandDisplay, options.backend, &WaylandProbe::run);
    if (const QString* problem = std::get_if<QString>(&chosen)) {
        QTextStream(stderr) << *problem << '\n';
        return 1;
    }
    const BackendChoice choice = std::get<BackendChoice>(chosen);
    const bool wayland = choice.backend == Backend::wayland;
    // Qt's windows go where the backend's clipboard and workspace are.
    qputenv("QT_QPA_PLATFORM", wayland ? "wayland" : "xcb");
    if (!wayland) {
        if (const std::optional<QString> problem = x11DisplayProblem(display, !waylandDisplay.isEmpty())) {
            QTextStream(stderr) << *problem << '\n';
            return 1;
        }
    }
    qCInfo(lcPlatform).noquote() << (wayland ? "Wayland" : "X11") << "backend:" << choice.reason;

    QApplication application(argc, argv);
    configureApplication();

    SingleInstance instance;
    // On Wayland the launcher's token lets the running instance's window take the focus.
    const QByteArray launchToken = wayland ? qgetenv("XDG_ACTIVATION_TOKEN") : QByteArray();
    switch (options.quickPaste ? instance.claimForQuickPaste()
                               : instance.claim(!options.background, launchToken)) {
    case SingleInstance::Claim::primary:
        break;
    case SingleInstance::Claim::secondary:
        return 0;
    case SingleInstance::Claim::failed:
        QTextStream(stderr) << instance.errorString() << '\n';
        return 1;
    }
    // Before anything is loaded, so that a signal during start-up already quits properly.
    TerminationSignals terminationSignals;
    if (const std::optional<AppError> failure = XdgAutostartLoginItemService().updateOlderEntry())
        qWarning("Clipwell cannot update its autostart entry: %s",
                 qPrintable(failure->localizedDescription()));

    // Goes before the application object: at its teardown Qt hands its clipboard to the clipboard
    // manager and waits for it, and that must not be our own pasteboard thread.
    PlatformResult platform =
        wayland ? createWaylandPlatformServices(waylandDisplay) : createX11PlatformServices();
    if (!platform.services) {
        QTextStream(stderr) << platform.error << '\n';
        return 1;
    }
    SourceApplicationIconCache icons(*platform.services->workspace);
    SourceApplicationIconCache::setShared(&icons);

    AppLocalization::shared().useStore(Preferences::standard().languageStore());
    AppModel model(*platform.services->pasteboard, *platform.services->workspace, Preferences::standard());
    AppCoordinator::Desktop desktop;
    PlatformServices& services = *platform.services;
    desktop.makeQuickPaste = [&model, &services] {
        return std::make_unique<QuickPasteController>(
            model, Preferences::standard(),
            QuickPasteController::Platform{*services.workspace, *services.eventTap, *services.accessibility,
                                           *services.keystrokePoster},
            services.popupSurface ? std::unique_ptr<QuickPastePopup>(
                                        std::make_unique<LayerShellQuickPastePopup>(*services.popupSurface))
                                  : std::make_unique<QuickPastePanelController>());
    };
    AppCoordinator coordinator(model, Preferences::standard(), AppLocalization::shared(), std::move(desktop));

    QObject::connect(&terminationSignals, &TerminationSignals::received, &coordinator,
                     &AppCoordinator::terminationSignalReceived);
    QObject::connect(&instance, &SingleInstance::presentRequested, &coordinator,
                     [&coordinator, wayland](const QByteArray& activationToken) {
                         // Qt's wayland platform spends the token on the next window it activates.
                         if (wayland && !activationToken.isEmpty())
                             qputenv("XDG_ACTIVATION_TOKEN", activationToken);
                         coordinator.handleReopen();
                     });
    // The compositor's binding of the chord ran `clipwell --quick-paste`; a tap that is not installed
    // (quick paste off) ignores it.
    QObject::connect(&instance, &SingleInstance::quickPasteRequested, &coordinator,
                     [&services] { services.eventTap->chordPressed(); });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &coordinator,
                     [&coordinator](QSessionManager& manager) {
                         // The session is ending: the same quit as the menu's, so the user may still
                         // keep Clipwell when the history cannot be written.
                         manager.allowsInteraction();
                         if (!coordinator.requestQuit())
                             manager.cancel();
                         manager.release();
                     });
    QuitEventFilter quitEvents(coordinator);
    application.installEventFilter(&quitEvents);

    coordinator.start(options.background ? AppCoordinator::Launch::background
                                         : AppCoordinator::Launch::interactive);
    const int status = QApplication::exec();
    application.removeEventFilter(&quitEvents);
    SourceApplicationIconCache::setShared(nullptr);
    return status;
}

} // namespace ClipwellApp
