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
    int posts = 0;
    std::function<void()> onPost;

    std::unique_ptr<Keystroke> create() override
    {
        if (!canCreate)
            return nullptr;
        return std::make_unique<Posted>(*this);
    }

private:
    struct Posted final : Keystroke {
        explicit Posted(FakeKeystrokePoster& poster) : owner(poster) {}
        bool post() override
        {
            ++owner.posts;
            if (owner.onPost)
                owner.onPost();
            return true;
        }
        FakeKeystrokePoster& owner;
    };
};
