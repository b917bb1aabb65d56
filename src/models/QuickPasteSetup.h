#pragma once

#include <QString>

// What the desktop asks of the user, beyond the status, before quick paste works there. An X11
// display asks nothing; a Wayland compositor may lack a protocol, need a line in its configuration, or
// already bind the chord.
struct QuickPasteSetup {
    enum class Advice {
        none,
        // The compositor has not yet said what it offers.
        connecting,
        // The compositor lacks the layer shell, a way to type, or both (the flags below).
        missingProtocols,
        // No IPC to bind the chord with: the user binds `line` in the compositor's configuration.
        bindCommand,
        // The user's configuration binds the chord already: `line` in the file `path`.
        chordTaken,
        // The compositor did not take the chord's binding: `line` says why.
        bindFailed,
        // KDE's shortcut service gives the chord's action no shortcut: another holds Super+Shift+V,
        // or the user took it away.
        shortcutMissing,
        // KDE's shortcut service did not answer or refused: `line` says why.
        shortcutFailed,
    };

    Advice advice = Advice::none;
    bool hasLayerShell = true;
    // A virtual keyboard, or KWin's fake input.
    bool canType = true;
    // GNOME and KDE: quick paste reaches X11 applications there when Clipwell runs on XWayland, where
    // their compositor lacks what quick paste needs.
    bool x11Fallback = false;
    QString line;
    QString path;
    // Whether an accessibility permission with its guide exists here (X11's); compositors ask for none.
    bool permissionGuide = true;
    // The chord where the user chose another than Super+Shift+V in the desktop's settings.
    QString chord;
    // KWin types only for the programs it grants fake input, and did not grant it to this one.
    bool typingNeedsGrant = false;
};

namespace QuickPasteSetups {

// The line that runs `clipwell --quick-paste` on Super+Shift+V in the configuration of the desktop
// named by XDG_CURRENT_DESKTOP (a colon-separated list); a plain description for an unknown one.
QString bindingLine(const QString& desktop);
// Whether the desktop is GNOME or KDE, where Clipwell on XWayland reaches X11 applications.
bool isX11FallbackDesktop(const QString& desktop);
// In the current interface language; empty when there is nothing to say.
QString note(const QuickPasteSetup& setup);

} // namespace QuickPasteSetups
