#pragma once

#include "platform/PopupSurface.h"

#include <QList>

// A layer surface that keeps every frame presented; the test plays the compositor's part by hand.
class FakePopupSurface final : public PopupSurface {
public:
    int currentScale = 1;
    QSize available;
    QList<QImage> frames;
    bool mapped = false;

    int scale() const override { return currentScale; }
    QSize availableSize() const override { return available; }
    void present(const QImage& frame) override
    {
        frames.append(frame);
        mapped = true;
    }
    void hide() override { mapped = false; }
};
