#pragma once

#include "platform/Workspace.h"

#include <QCoreApplication>
#include <optional>

// Where a quick paste goes: the application in front when the chord started and, when it can be
// told, its focused element then. The paste is dropped unless both are still the same.
struct PasteTarget {
    RunningApplication application;
    // Absent when it could not be read; only the application is compared then.
    std::optional<FocusedElement> focusedElement;

    // The frontmost application; nothing when there is none or it is this process.
    static std::optional<PasteTarget>
    capture(const Workspace& workspace, qint64 ownProcessIdentifier = QCoreApplication::applicationPid());
    // A member cannot share the field's name.
    static std::optional<FocusedElement> focusedElementOf(const Workspace& workspace,
                                                          qint64 processIdentifier);

    bool isStillCurrent(const Workspace& workspace) const;

    friend bool operator==(const PasteTarget&, const PasteTarget&) = default;
};
