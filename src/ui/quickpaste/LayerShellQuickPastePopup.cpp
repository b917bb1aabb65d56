#include "ui/quickpaste/LayerShellQuickPastePopup.h"

#include "models/QuickPasteLog.h"
#include "platform/PopupSurface.h"
#include "ui/quickpaste/QuickPasteLayout.h"
#include "ui/quickpaste/QuickPasteView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

LayerShellQuickPastePopup::LayerShellQuickPastePopup(PopupSurface& surface, HistoryThumbnailCache* thumbnails,
                                                     SourceApplicationIconCache* icons, QObject* parent)
    : QObject(parent), m_surface(surface),
      m_panel(std::make_unique<QuickPasteView>(m_state, thumbnails, icons))
{
    // Shown, so that its updates are asked for, yet never mapped: the surface is the only window.
    m_panel->setAttribute(Qt::WA_DontShowOnScreen);
    m_panel->setAttribute(Qt::WA_TranslucentBackground);
    // Qt asks the top level for one UpdateRequest per batch of updates anywhere in it: that is when a
    // frame is wanted. Its own paint of a store nobody sees would double every frame's work.
    m_panel->installEventFilter(this);
    for (QWidget* child : m_panel->findChildren<QWidget*>())
        child->installEventFilter(this);
    m_surface.onFrameDone = [this] { frameDone(); };
    m_surface.onScaleChanged = [this] { frameWanted(); };
}

LayerShellQuickPastePopup::~LayerShellQuickPastePopup()
{
    m_surface.onFrameDone = nullptr;
    m_surface.onScaleChanged = nullptr;
}

void LayerShellQuickPastePopup::show(const QuickPasteSession& session, const QString& applicationName)
{
    const bool appearing = !m_frame;
    if (appearing) {
        QSize available = m_surface.availableSize();
        if (available.isEmpty() && QGuiApplication::primaryScreen())
            available = QGuiApplication::primaryScreen()->availableSize();
        m_frame = QuickPasteLayout::frame(QRect(QPoint(), available), session.candidates);
        if (!m_frame) {
            qCCritical(lcQuickPaste, "No usable screen for quick paste panel");
            return;
        }
        m_panel->resize(m_frame->size());
    }
    m_state.setApplicationName(applicationName);
    m_state.setSession(session);
    if (!appearing)
        return;
    m_panel->show();
    // Children shown ask to be painted later, and the view asked already: this frame answers them all
    // rather than a copy of it following.
    for (QWidget* child : m_panel->findChildren<QWidget*>())
        QCoreApplication::sendPostedEvents(child, QEvent::UpdateLater);
    QCoreApplication::sendPostedEvents(m_panel.get(), QEvent::UpdateRequest);
    if (!m_inFlight)
        draw();
}

void LayerShellQuickPastePopup::hide()
{
    if (m_frame)
        m_surface.hide();
    m_frame.reset();
    m_inFlight = false;
    m_wanted = false;
    m_panel->hide();
    m_state.setSession(std::nullopt);
}

std::optional<QRectF> LayerShellQuickPastePopup::eventFrame() const
{
    return m_frame ? std::optional(QRectF(*m_frame)) : std::nullopt;
}

bool LayerShellQuickPastePopup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint)
        return !m_drawing;
    if (event->type() == QEvent::UpdateRequest && watched == m_panel.get())
        frameWanted();
    return QObject::eventFilter(watched, event);
}

void LayerShellQuickPastePopup::frameWanted()
{
    if (!m_frame)
        return;
    m_wanted = true;
    if (!m_inFlight)
        draw();
}

void LayerShellQuickPastePopup::frameDone()
{
    m_inFlight = false;
    if (m_wanted)
        draw();
}

void LayerShellQuickPastePopup::draw()
{
    const int scale = std::max(1, m_surface.scale());
    const QSize pixels = m_panel->size() * scale;
    // The surface copies a frame out when it is presented; one it still holds is left alone.
    if (m_canvas.size() != pixels || !m_canvas.isDetached())
        m_canvas = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    m_canvas.setDevicePixelRatio(scale);
    m_canvas.fill(Qt::transparent);
    m_wanted = false;
    m_drawing = true;
    m_panel->render(&m_canvas, QPoint(), QRegion(), QWidget::DrawChildren);
    m_drawing = false;
    m_inFlight = true;
    m_surface.present(m_canvas);
}
