#pragma once

#include "platform/wayland/ChordBinding.h"

#include <memory>

// The quick paste chord as a global shortcut of KDE's shortcut service (org.kde.kglobalaccel, which
// KWin serves on the session bus): the action Clipwell → Quick Paste, Super+Shift+V unless the user
// chose another in System Settings. Registered and followed on a thread of its own; switched inactive,
// never unregistered, when it stops, so the user's choice stays stored.
class KGlobalAccelChordBinding final : public ChordBinding {
public:
    KGlobalAccelChordBinding();
    // Stops.
    ~KGlobalAccelChordBinding() override;
    KGlobalAccelChordBinding(const KGlobalAccelChordBinding&) = delete;
    KGlobalAccelChordBinding& operator=(const KGlobalAccelChordBinding&) = delete;

    void start() override;
    std::optional<Outcome> firstOutcome(int timeoutMs) override;
    void stop() override;
    void waitForRemoval(int timeoutMs) override;

    // What the caller and the thread share; the thread keeps it alive after a stop that did not wait.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<Shared> m_stopping;
};
