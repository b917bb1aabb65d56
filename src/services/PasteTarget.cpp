#include "services/PasteTarget.h"

std::optional<PasteTarget> PasteTarget::capture(const Workspace& workspace, qint64 ownProcessIdentifier)
{
    const std::optional<RunningApplication> frontmost = workspace.frontmostApplication();
    if (!frontmost || frontmost->processIdentifier == ownProcessIdentifier)
        return std::nullopt;
    return PasteTarget{*frontmost, focusedElementOf(workspace, frontmost->processIdentifier)};
}

std::optional<FocusedElement> PasteTarget::focusedElementOf(const Workspace& workspace,
                                                            qint64 processIdentifier)
{
    return workspace.focusedElement(processIdentifier);
}

bool PasteTarget::isStillCurrent(const Workspace& workspace) const
{
    if (workspace.isTerminated(application))
        return false;
    const std::optional<RunningApplication> frontmost = workspace.frontmostApplication();
    if (!frontmost || frontmost->processIdentifier != application.processIdentifier)
        return false;
    if (!focusedElement)
        return true;
    return focusedElementOf(workspace, application.processIdentifier) == focusedElement;
}
