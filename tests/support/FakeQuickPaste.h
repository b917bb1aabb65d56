#pragma once

#include "app/QuickPastePopup.h"
#include "platform/KeystrokePoster.h"

// A popup that remembers what it was last asked to show.
class FakePopup final : public QuickPastePopup {
public:
    std::optional<QuickPasteSession> session;
    QString applicationName;

    void show(const QuickPasteSession& shown, const QString& name) override
    {
        session = shown;
        applicationName = name;
    }
    void hide() override { session.reset(); }
    std::optional<QRectF> eventFrame() const override
    {
        return session ? std::optional<QRectF>(QRectF(400, 200, 460, 400)) : std::nullopt;
    }
};

// Counts the paste keystrokes typed; `onPost` sees the moment of typing.
class FakeKeystrokePoster final : public KeystrokePoster {
public:
    bool canCreate = true;
    // A key of the shortcut is still held down.
    bool keyDown = false;
    int posts = 0;
    std::optional<PasteShortcut> shortcut;
    std::function<void()> onPost;

    std::unique_ptr<Keystroke> create(PasteShortcut created) override
    {
        if (!canCreate)
            return nullptr;
        shortcut = created;
        return std::make_unique<Posted>(*this);
    }

private:
    struct Posted final : Keystroke {
        explicit Posted(FakeKeystrokePoster& poster) : owner(poster) {}
        bool keysAreUp() const override { return !owner.keyDown; }
        bool post() override
        {
            if (owner.keyDown)
                return false;
            ++owner.posts;
            if (owner.onPost)
                owner.onPost();
            return true;
        }
        FakeKeystrokePoster& owner;
    };
};
