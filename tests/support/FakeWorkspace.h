#pragma once

#include "platform/Workspace.h"

// A workspace whose frontmost application tests set directly.
class FakeWorkspace final : public Workspace {
public:
    std::optional<RunningApplication> frontmost;

    std::optional<RunningApplication> frontmostApplication() const override { return frontmost; }
};
