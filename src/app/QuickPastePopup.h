#pragma once

#include "models/QuickPasteSession.h"

#include <QRectF>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

// The quick paste popup as its controller drives it; the views implement it and the shell hands it
// in, so the controller is tested with a double.
class QuickPastePopup {
public:
    virtual ~QuickPastePopup() = default;

    // Placed and sized on the first call after hide(); later calls only publish the session (the
    // selection moved), so the popup neither jumps nor resizes during a chord.
    virtual void show(const QuickPasteSession& session, const QString& applicationName) = 0;
    virtual void hide() = 0;
    // Where the popup is, in the event tap's coordinates (the display's own pixels); none while hidden.
    virtual std::optional<QRectF> eventFrame() const = 0;

    // A row was clicked: the entry's id.
    std::function<void(const QUuid&)> onSelect;
};
