#pragma once

#include "platform/wayland/QuickPasteSeat.h"

// A seat whose keyboard the test types on; it types no paste.
class FakeQuickPasteSeat final : public QuickPasteSeat {
public:
    bool layerShell = true;
    bool canTypePaste = true;
    bool needsGrant = false;
    State seatState = State::ready;
    std::function<void(TapEvent&)> handler;

    int scale() const override { return 1; }
    QSize availableSize() const override { return {1920, 1080}; }
    void present(const QImage&) override {}
    void hide() override {}
    State state() const override { return seatState; }
    bool hasLayerShell() const override { return layerShell; }
    bool canType() const override { return canTypePaste; }
    bool typingNeedsGrant() const override { return needsGrant; }
    void setEventHandler(std::function<void(TapEvent&)> installed) override
    {
        handler = std::move(installed);
    }
    quint64 currentModifierFlags() const override { return 0; }
    std::unique_ptr<KeystrokePoster::Keystroke> createKeystroke(PasteShortcut) override { return nullptr; }

    void type(TapEvent::Type type, quint16 key, quint64 flags = TapEvent::commandFlag | TapEvent::shiftFlag)
    {
        TapEvent event;
        event.type = type;
        event.keyCode = key;
        event.flags = flags;
        if (handler)
            handler(event);
    }
};
