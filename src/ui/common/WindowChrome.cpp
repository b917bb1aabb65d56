#include "ui/common/WindowChrome.h"

#include <QGuiApplication>

namespace WindowChrome {

bool windowManagerDrawsTitle()
{
    return QGuiApplication::platformName() != QLatin1String("cocoa");
}

} // namespace WindowChrome
