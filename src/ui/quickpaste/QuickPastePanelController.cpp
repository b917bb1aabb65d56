#include "ui/quickpaste/QuickPastePanelController.h"

#include "models/QuickPasteLog.h"
#include "ui/quickpaste/QuickPasteLayout.h"
#include "ui/quickpaste/QuickPasteView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <xcb/xcb.h>

namespace {

// Whether see-through windows blend with what lies below: on X11 only while a compositing manager
// owns _NET_WM_CM_S0; every other platform composites.
bool compositorRuns()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return true;
    xcb_connection_t* connection = x11->connection();
    const QByteArray name = QByteArrayLiteral("_NET_WM_CM_S0");
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    const bool owned = owner && owner->owner != XCB_NONE;
    std::free(owner);
    std::free(atom);
    return owned;
}

} // namespace

QuickPastePanelController::QuickPastePanelController(HistoryThumbnailCache* thumbnails,
                                                     SourceApplicationIconCache* icons, QObject* parent)
    : QObject(parent), m_panel(std::make_unique<QuickPasteView>(m_state, thumbnails, icons))
{
    // Never Qt::Popup: a popup grabs the keyboard and pointer, which the chord needs for itself.
    m_panel->setWindowFlags(Qt::Window | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                            Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    m_panel->setAttribute(Qt::WA_ShowWithoutActivating);
    m_panel->setAttribute(Qt::WA_X11DoNotAcceptFocus);
    const bool composited = compositorRuns();
    m_panel->setAttribute(Qt::WA_TranslucentBackground, composited);
    m_panel->setShapedByMask(!composited);
    m_panel->resize(QuickPasteLayout::width, 360);
    // The visual is chosen now, and the first chord does not wait for the window to be made.
    m_panel->winId();
    m_panel->onSelect = [this](const QUuid& id) {
        if (onSelect)
            onSelect(id);
    };
}

QuickPastePanelController::~QuickPastePanelController() = default;

void QuickPastePanelController::show(const QuickPasteSession& session, const QString& applicationName)
{
    const bool visible = m_panel->isVisible();
    if (!visible) {
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        const std::optional<QRect> placed =
            screen ? QuickPasteLayout::frame(screen->availableGeometry(), session.candidates) : std::nullopt;
        if (!placed) {
            qCCritical(lcQuickPaste, "No usable screen for quick paste panel");
            return;
        }
        m_panel->setGeometry(*placed);
    }
    m_state.setApplicationName(applicationName);
    m_state.setSession(session);
    if (!visible)
        m_panel->show();
    m_panel->raise();
    qCDebug(lcQuickPaste, "Panel visible: %d, size: %fx%f", int(m_panel->isVisible()),
            double(m_panel->width()), double(m_panel->height()));
}

void QuickPastePanelController::hide()
{
    if (m_panel->isVisible())
        m_panel->hide();
    m_state.setSession(std::nullopt);
}

// Qt keeps each screen's origin in the display's pixels and scales only within the screen.
std::optional<QRectF> QuickPastePanelController::eventFrame() const
{
    QScreen* screen = m_panel->screen();
    if (!m_panel->isVisible() || !screen)
        return std::nullopt;
    const qreal ratio =
        m_panel->windowHandle() ? m_panel->windowHandle()->devicePixelRatio() : screen->devicePixelRatio();
    const QPointF origin = screen->geometry().topLeft();
    const QRectF logical = m_panel->geometry();
    return QRectF(origin + (logical.topLeft() - origin) * ratio, logical.size() * ratio);
}
