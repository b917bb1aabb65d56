#pragma once

#include "platform/Accessibility.h"
#include "platform/EventTap.h"

// An event tap that tests feed by hand through the installed client.
class FakeEventTap final : public EventTap {
public:
    bool supported = true;
    bool canInstall = true;
    bool secureInput = false;
    quint64 modifierFlags = 0;
    int enables = 0;
    int installs = 0;
    std::optional<Client> client;
    QuickPasteSetup advice;

    bool isSupported() const override { return supported; }
    bool install(Client installed) override
    {
        installs += canInstall;
        if (canInstall)
            client = std::move(installed);
        return canInstall;
    }
    void remove() override { client.reset(); }
    bool isInstalled() const override { return client.has_value(); }
    void enable() override { ++enables; }
    void chordEnded() override {}
    bool isSecureEventInputEnabled() const override { return secureInput; }
    quint64 currentModifierFlags() const override { return modifierFlags; }
    QuickPasteSetup setup() const override { return advice; }
};

class FakeAccessibility final : public Accessibility {
public:
    bool trusted = true;
    int trustRequests = 0;

    bool isProcessTrusted() const override { return trusted; }
    void requestTrust() override { ++trustRequests; }
    bool openAccessibilitySettings() override { return false; }
};
