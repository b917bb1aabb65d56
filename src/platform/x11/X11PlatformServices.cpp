#include "platform/x11/X11PlatformServices.h"

#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Input.h"
#include "platform/x11/X11KeystrokePoster.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11Workspace.h"

#include <QGuiApplication>

PlatformResult createX11PlatformServices()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11) {
        return {std::nullopt,
                QStringLiteral("The X11 backend needs Qt's xcb platform, and Qt runs on \"%1\".")
                    .arg(QGuiApplication::platformName())};
    }
    auto pasteboard = std::make_unique<X11Pasteboard>(qgetenv("DISPLAY"));
    if (!pasteboard->isValid())
        return {std::nullopt, pasteboard->errorString()};
    PlatformServices services;
    services.pasteboard = std::move(pasteboard);
    services.workspace = std::make_unique<X11Workspace>(x11->connection());
    // The tap, the keystroke and the trust check share one connection, so that the keystroke is
    // always typed after the chord's grab was let go.
    auto input = std::make_shared<X11Input>(qgetenv("DISPLAY"));
    services.keystrokePoster = std::make_unique<X11KeystrokePoster>(input);
    services.accessibility = std::make_unique<X11Accessibility>(input);
    services.eventTap = std::move(input);
    return {std::move(services), QString()};
}
