#pragma once

#include "platform/Accessibility.h"
#include "platform/EventTap.h"
#include "platform/KeystrokePoster.h"

// Quick paste's side of the Wayland backend. The chord and the paste keystroke go through the
// compositor there, which Clipwell does not do yet: the tap says so, and nothing is watched or typed.
class WaylandEventTap final : public EventTap {
public:
    bool isSupported() const override { return false; }
    bool install(Client) override { return false; }
    void remove() override {}
    bool isInstalled() const override { return false; }
    void enable() override {}
    void chordEnded() override {}
    bool isSecureEventInputEnabled() const override { return false; }
    quint64 currentModifierFlags() const override { return 0; }
};

class WaylandKeystrokePoster final : public KeystrokePoster {
public:
    std::unique_ptr<Keystroke> create(PasteShortcut) override { return nullptr; }
};

// No permission exists to grant, and no settings to open for one.
class WaylandAccessibility final : public Accessibility {
public:
    bool isProcessTrusted() const override { return false; }
    void requestTrust() override {}
    bool openAccessibilitySettings() override { return false; }
};
