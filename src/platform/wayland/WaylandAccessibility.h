#pragma once

#include "platform/Accessibility.h"

class QuickPasteSeat;

// A compositor asks for no permission: quick paste may run where it offers the layer shell and the
// virtual keyboard. There is nothing to request and no settings to open.
class WaylandAccessibility final : public Accessibility {
public:
    explicit WaylandAccessibility(QuickPasteSeat* seat) : m_seat(seat) {}

    bool isProcessTrusted() const override;
    void requestTrust() override {}
    bool openAccessibilitySettings() override { return false; }

private:
    QuickPasteSeat* const m_seat;
};
