#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// The process: display check, application object, one instance per user, the coordinator and the
// event loop. main() only calls run().
namespace ClipwellApp {

struct Options {
    // Started at login (or restored by the session manager): no window until the user asks.
    bool background = false;
};

// The command line, or the exit status once --help, --version or a mistake has been answered on the
// terminal. Needs no display.
std::variant<Options, int> parseCommandLine(const QStringList& arguments);

// Why Clipwell cannot open its windows, in words for the user; nothing when the X server answers.
// Checked before Qt connects, whose own failure is an abort with a terse message.
std::optional<QString> displayProblem(const QByteArray& display, const QByteArray& waylandDisplay);

// Returns the process's exit status.
int run(int argc, char** argv);

} // namespace ClipwellApp
