#pragma once

#include "platform/Accessibility.h"

#include <memory>

class X11Input;

// On X11 nothing is granted: Clipwell may watch and type when the display offers XTEST and XInput 2.
class X11Accessibility final : public Accessibility {
public:
    explicit X11Accessibility(std::shared_ptr<X11Input> input) : m_input(std::move(input)) {}

    bool isProcessTrusted() const override;
    // There is no prompt to show.
    void requestTrust() override {}
    // No settings can add an extension to the display.
    bool openAccessibilitySettings() override { return false; }

private:
    std::shared_ptr<X11Input> m_input;
};
