#include "models/QuickPasteSetup.h"

#include "l10n/Localization.h"

#include <QStringList>

namespace QuickPasteSetups {

namespace {

bool names(const QString& desktop, QLatin1String name)
{
    return desktop.split(QLatin1Char(':')).contains(name, Qt::CaseInsensitive);
}

} // namespace

QString bindingLine(const QString& desktop)
{
    if (names(desktop, QLatin1String("Hyprland")))
        return QStringLiteral("bind = SUPER SHIFT, V, exec, clipwell --quick-paste");
    if (names(desktop, QLatin1String("river")))
        return QStringLiteral("riverctl map normal Super+Shift V spawn 'clipwell --quick-paste'");
    if (names(desktop, QLatin1String("labwc")))
        return QStringLiteral(
            "<keybind key=\"W-S-v\"><action name=\"Execute\" command=\"clipwell --quick-paste\"/></keybind>");
    if (names(desktop, QLatin1String("Wayfire")))
        return QStringLiteral(
            "binding_clipwell = <super> <shift> KEY_V\ncommand_clipwell = clipwell --quick-paste");
    if (names(desktop, QLatin1String("sway")))
        return QStringLiteral("bindsym Mod4+Shift+v exec clipwell --quick-paste");
    return QStringLiteral("Super+Shift+V → clipwell --quick-paste");
}

bool isX11FallbackDesktop(const QString& desktop)
{
    return names(desktop, QLatin1String("GNOME")) || names(desktop, QLatin1String("KDE"));
}

QString note(const QuickPasteSetup& setup)
{
    using Key = L10n::Key;
    QStringList lines;
    switch (setup.advice) {
    case QuickPasteSetup::Advice::none:
    case QuickPasteSetup::Advice::connecting:
        break;
    case QuickPasteSetup::Advice::missingProtocols:
        if (!setup.hasLayerShell)
            lines.append(L10n::text(Key::quickPasteNoLayerShell));
        if (!setup.canType)
            lines.append(L10n::text(setup.typingNeedsGrant ? Key::quickPasteFakeInputNotGranted
                                                           : Key::quickPasteNoVirtualKeyboard));
        if (setup.x11Fallback)
            lines.append(L10n::text(Key::quickPasteX11Fallback));
        break;
    case QuickPasteSetup::Advice::bindCommand:
        lines.append(L10n::text(Key::quickPasteBindCommand).arg(setup.line));
        break;
    case QuickPasteSetup::Advice::chordTaken:
        lines.append(L10n::text(Key::quickPasteChordTaken).arg(setup.path, setup.line));
        break;
    case QuickPasteSetup::Advice::bindFailed:
        lines.append(L10n::text(Key::quickPasteBindFailed).arg(setup.line));
        break;
    case QuickPasteSetup::Advice::shortcutMissing:
        lines.append(L10n::text(Key::quickPasteShortcutMissing));
        break;
    case QuickPasteSetup::Advice::shortcutFailed:
        lines.append(L10n::text(Key::quickPasteShortcutFailed).arg(setup.line));
        break;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace QuickPasteSetups
