#pragma once

#include "platform/wayland/ChordBinding.h"

// The quick paste chord as a global shortcut of KDE's shortcut service (org.kde.kglobalaccel, which
// KWin serves on the session bus): the action Clipwell → Quick Paste, Super+Shift+V unless the user
// chose another in System Settings. Registered and followed on a thread of its own; switched inactive,
// never unregistered, when it stops, so the user's choice stays stored.
class KGlobalAccelChordBinding final : public ChordBinding {
protected:
    std::function<void(Link&)> body() override;
};
