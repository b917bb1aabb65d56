#include "platform/x11/X11KeystrokePoster.h"

#include "platform/x11/X11Input.h"

namespace {

class PasteKeystroke final : public KeystrokePoster::Keystroke {
public:
    explicit PasteKeystroke(std::shared_ptr<X11Input> input) : m_input(std::move(input)) {}
    bool post() override { return m_input->postPaste(); }

private:
    std::shared_ptr<X11Input> m_input;
};

} // namespace

std::unique_ptr<KeystrokePoster::Keystroke> X11KeystrokePoster::create()
{
    if (!m_input->canPostPaste())
        return nullptr;
    return std::make_unique<PasteKeystroke>(m_input);
}
