#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a Wayland compositor offers its clients, asked once on a short-lived connection of our own.
struct WaylandProbe {
    // The compositor answered on the socket.
    bool connected = false;
    // The protocol that lets a client follow and set the clipboard without a focused window: its
    // interface name, or empty when the compositor offers neither ext nor wlr (version 2 or later).
    QByteArray dataControl;
    // The interface names of every global, for the log.
    QStringList globals;
    // Why the socket could not be reached, in words for the user.
    QString error;

    // Connects to the compositor of WAYLAND_DISPLAY (a name in XDG_RUNTIME_DIR or an absolute path).
    static WaylandProbe run(const QByteArray& waylandDisplay);
};
