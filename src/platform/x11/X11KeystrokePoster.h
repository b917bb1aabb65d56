#pragma once

#include "platform/KeystrokePoster.h"

#include <memory>

class X11Input;

// The paste shortcut through XTEST, typed once the chord's keyboard grab is gone.
class X11KeystrokePoster final : public KeystrokePoster {
public:
    explicit X11KeystrokePoster(std::shared_ptr<X11Input> input) : m_input(std::move(input)) {}

    std::unique_ptr<Keystroke> create(PasteShortcut shortcut) override;

private:
    std::shared_ptr<X11Input> m_input;
};
