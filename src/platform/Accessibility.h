#pragma once

// Whether Clipwell may observe the user's input and type for them.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    virtual bool isProcessTrusted() const = 0;
    // Asks the system to offer the user the permission, where it has a way to; the answer comes
    // later through isProcessTrusted.
    virtual void requestTrust() = 0;
    // Opens the system's own settings for the permission; false when there are none to open.
    virtual bool openAccessibilitySettings() = 0;
};
