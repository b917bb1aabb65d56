#pragma once

#include "platform/wayland/WaylandProbe.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

// The process: the backend and its display, application object, one instance per user, the
// coordinator and the event loop. main() only calls run().
namespace ClipwellApp {

enum class Backend { x11, wayland };

struct Options {
    // Started at login (or restored by the session manager): no window until the user asks.
    bool background = false;
    // --quick-paste: the compositor's binding of the chord ran; tells the running instance.
    bool quickPaste = false;
    // --backend: the backend asked for; without it the session decides.
    std::optional<Backend> backend;
};

struct BackendChoice {
    Backend backend = Backend::x11;
    // Why this one, for the log.
    QString reason;
};

// Asks the compositor of WAYLAND_DISPLAY what it offers (WaylandProbe::run; tests answer themselves).
using WaylandProbeRun = std::function<WaylandProbe(const QByteArray& waylandDisplay)>;

// The command line, or the exit status once --help, --version or a mistake has been answered on the
// terminal. Needs no display.
std::variant<Options, int> parseCommandLine(const QStringList& arguments);

// The backend for this session: Wayland where the compositor lets other applications follow the
// clipboard (data-control), else X11, XWayland included; or why neither can run, in words for the
// user. The compositor is asked only when WAYLAND_DISPLAY is set and X11 is not forced.
std::variant<BackendChoice, QString> chooseBackend(const QByteArray& display,
                                                   const QByteArray& waylandDisplay,
                                                   std::optional<Backend> forced,
                                                   const WaylandProbeRun& probe);

// Why Clipwell cannot open the X display, in words for the user; nothing when the X server answers.
// Checked before Qt connects, whose own failure is an abort with a terse message.
std::optional<QString> x11DisplayProblem(const QByteArray& display, bool underWayland);

// Returns the process's exit status.
int run(int argc, char** argv);

} // namespace ClipwellApp
