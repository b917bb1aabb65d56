#pragma once

#include <QImage>
#include <QSize>
#include <functional>

// Where the quick paste popup is shown when Clipwell draws it itself: a surface the compositor keeps
// above every window (Wayland's layer shell), fed whole frames. Called on the GUI thread; its
// callbacks run there too.
class PopupSurface {
public:
    virtual ~PopupSurface() = default;

    // The scale the next frame is drawn at: the output's, at least 1.
    virtual int scale() const = 0;
    // The logical size of the output the popup goes on; empty while unknown.
    virtual QSize availableSize() const = 0;
    // Shows a frame in device pixels (its devicePixelRatio is the scale it was drawn at), centred on the
    // output. The first frame after hide() maps the surface and takes the keyboard; later ones replace
    // it, and may change its size.
    virtual void present(const QImage& frame) = 0;
    // Unmaps the surface at once and gives the keyboard back.
    virtual void hide() = 0;

    // The scale changed (the popup moved to another output, or the output's scale changed): draw again.
    std::function<void()> onScaleChanged;
    // The compositor is ready for the next frame; animations draw at this pace.
    std::function<void()> onFrameDone;
};
