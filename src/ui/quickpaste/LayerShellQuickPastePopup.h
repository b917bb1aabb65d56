#pragma once

#include "app/QuickPastePopup.h"
#include "ui/quickpaste/PopupModel.h"

#include <QImage>
#include <QObject>
#include <QRect>
#include <memory>

class HistoryThumbnailCache;
class PopupSurface;
class QuickPasteView;
class SourceApplicationIconCache;

// The quick paste popup drawn by Clipwell itself onto a surface the compositor shows (Wayland's layer
// shell): the same view as the X11 popup, kept off screen and drawn whole into frames at the surface's
// scale. A frame follows whenever the view asks to be repainted, at most one awaiting the compositor.
class LayerShellQuickPastePopup : public QObject, public QuickPastePopup {
    Q_OBJECT

public:
    // surface must outlive the popup; the caches default to the shared ones.
    explicit LayerShellQuickPastePopup(PopupSurface& surface, HistoryThumbnailCache* thumbnails = nullptr,
                                       SourceApplicationIconCache* icons = nullptr,
                                       QObject* parent = nullptr);
    ~LayerShellQuickPastePopup() override;

    // The first call after hide() sizes the popup for its output and presents a frame before it returns.
    void show(const QuickPasteSession& session, const QString& applicationName) override;
    void hide() override;
    // Centred in the output's logical coordinates.
    std::optional<QRectF> eventFrame() const override;

    QuickPasteView& panel() const { return *m_panel; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void frameWanted();
    void frameDone();
    void draw();

    PopupSurface& m_surface;
    PopupModel m_state;
    std::unique_ptr<QuickPasteView> m_panel;
    // Where the popup is while shown.
    std::optional<QRect> m_frame;
    bool m_inFlight = false;
    bool m_wanted = false;
    // Paint events reach the view only while it draws a frame here.
    bool m_drawing = false;
    QImage m_canvas;
};
