#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The process: display check, application object, one instance per user, the coordinator and the
// event loop. main() only calls run().
namespace ClipwellApp {

// Why Clipwell cannot open its windows, in words for the user; nothing when the X server answers.
// Checked before Qt connects, whose own failure is an abort with a terse message.
std::optional<QString> displayProblem(const QByteArray& display, const QByteArray& waylandDisplay);

// Returns the process's exit status.
int run(int argc, char** argv);

} // namespace ClipwellApp
