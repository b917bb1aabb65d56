#include "platform/x11/X11KeystrokePoster.h"

#include "platform/x11/X11Input.h"

namespace {

class PasteKeystroke final : public KeystrokePoster::Keystroke {
public:
    PasteKeystroke(std::shared_ptr<X11Input> input, PasteShortcut shortcut)
        : m_input(std::move(input)), m_shortcut(shortcut)
    {
    }
    bool keysAreUp() const override { return m_input->pasteKeysAreUp(m_shortcut); }
    bool post() override { return m_input->postPaste(m_shortcut); }

private:
    std::shared_ptr<X11Input> m_input;
    PasteShortcut m_shortcut;
};

} // namespace

std::unique_ptr<KeystrokePoster::Keystroke> X11KeystrokePoster::create(PasteShortcut shortcut)
{
    if (!m_input->canPostPaste(shortcut))
        return nullptr;
    return std::make_unique<PasteKeystroke>(m_input, shortcut);
}
