#pragma once

#include <QString>
#include <optional>

struct RunningApplication {
    std::optional<QString> localizedName;
    // On Linux the freedesktop desktop-file id.
    std::optional<QString> bundleIdentifier;
    qint64 processIdentifier = 0;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

class Workspace {
public:
    virtual ~Workspace() = default;

    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
};
