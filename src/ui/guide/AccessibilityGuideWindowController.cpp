#include "ui/guide/AccessibilityGuideWindowController.h"

#include "l10n/Localization.h"
#include "ui/common/ReducedMotion.h"
#include "ui/guide/AccessibilityGuideView.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace {

constexpr int panelWidth = 560;
constexpr int tallest = 680;
constexpr int screenMargin = 80;
constexpr qreal cornerRadius = 16;

// Core Animation's ease-out and ease-in.
QEasingCurve cubic(QPointF first, QPointF second)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(first, second, QPointF(1, 1));
    return curve;
}

// The top-level window: frameless, yet it takes the focus; a close from the window manager goes
// through the controller's fade; a press on the background moves it.
class GuidePanel : public QWidget {
public:
    std::function<void()> onCloseRequest;
    bool closingForReal = false;

    GuidePanel() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    {
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (closingForReal)
            return QWidget::closeEvent(event);
        event->ignore();
        if (onCloseRequest)
            onCloseRequest();
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        // Without a compositor the corners would show black; the mask cuts them away.
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return QWidget::mousePressEvent(event);
        m_dragOffset = event->globalPosition().toPoint() - pos();
        m_dragging = true;
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (m_dragging)
            move(event->globalPosition().toPoint() - m_dragOffset);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        m_dragging = false;
        QWidget::mouseReleaseEvent(event);
    }

private:
    QPoint m_dragOffset;
    bool m_dragging = false;
};

} // namespace

AccessibilityGuideWindowController::AccessibilityGuideWindowController(
    std::function<bool()> onAuthorize, std::function<void()> onAuthorized, std::function<void()> onClose,
    std::function<bool()> isTrusted, Environment environment, QObject* parent)
    : QObject(parent), m_onAuthorized(std::move(onAuthorized)), m_onClose(std::move(onClose)),
      m_fader(std::move(environment.fader)),
      m_reducedMotion(environment.reducedMotion ? *environment.reducedMotion : ReducedMotion::shared())
{
    auto panel = std::make_unique<GuidePanel>();
    panel->onCloseRequest = [this] { close(); };
    auto* layout = new QVBoxLayout(panel.get());
    layout->setContentsMargins(0, 0, 0, 0);
    m_view =
        new AccessibilityGuideView(std::move(isTrusted), panel.get(), std::move(environment.permissionWatch));
    layout->addWidget(m_view);
    m_view->onAuthorize = std::move(onAuthorize);
    m_view->onAuthorized = [this] {
        if (m_onAuthorized)
            m_onAuthorized();
        close();
    };
    m_view->onDismiss = [this] { close(); };
    m_window = std::move(panel);
    // Named for window lists and assistive technologies by what it is, not only by whose it is.
    const auto retitle = [this] {
        m_window->setWindowTitle(L10n::text(L10n::Key::accessibilityGuideViewGuide));
    };
    connect(&AppLocalization::shared(), &AppLocalization::appLanguageDidChange, this, retitle);
    retitle();
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            &AccessibilityGuideWindowController::applicationStateChanged);
}

AccessibilityGuideWindowController::~AccessibilityGuideWindowController()
{
    if (m_animation)
        m_animation->stop();
}

QWidget& AccessibilityGuideWindowController::window() const
{
    return *m_window;
}

void AccessibilityGuideWindowController::present()
{
    QWidget& window = *m_window;
    const bool visible = window.isVisible();
    const bool fadeIn = !visible || m_isClosing;
    ++m_transitionGeneration;
    m_isClosing = false;
    m_hiddenWhileInactive = false;
    if (!visible) {
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        // As tall as the screen allows less 80, at most 680; the content scrolls.
        const QRect available = screen ? screen->availableGeometry() : QRect();
        const QSize size(panelWidth, screen ? std::min(tallest, available.height() - screenMargin) : tallest);
        window.resize(size);
        if (screen)
            window.move(available.center() - QPoint(size.width() / 2, size.height() / 2));
        window.setWindowOpacity(0);
    }
    if (fadeIn) {
        const bool reduced = m_reducedMotion.isReduced();
        fade(1, reduced ? 100ms : 220ms, cubic({0, 0}, {0.58, 1}), nullptr);
    }
    // Last: showing starts the permission watch, which may close the guide straight away.
    window.show();
    window.raise();
    window.activateWindow();
}

void AccessibilityGuideWindowController::close()
{
    if (m_isClosing)
        return;
    m_isClosing = true;
    const quint64 generation = ++m_transitionGeneration;
    if (!m_window->isVisible()) {
        finishClosing();
        return;
    }
    const bool reduced = m_reducedMotion.isReduced();
    QPointer<AccessibilityGuideWindowController> self(this);
    fade(0, reduced ? 80ms : 160ms, cubic({0.42, 0}, {1, 1}), [self, generation] {
        if (self && self->m_transitionGeneration == generation)
            self->finishClosing();
    });
}

void AccessibilityGuideWindowController::closeImmediately()
{
    if (m_animation)
        m_animation->stop();
    ++m_transitionGeneration;
    m_isClosing = true;
    finishClosing();
}

void AccessibilityGuideWindowController::finishClosing()
{
    m_view->stopWatching();
    auto* panel = static_cast<GuidePanel*>(m_window.get());
    panel->closingForReal = true;
    panel->close();
    panel->closingForReal = false;
    // Last: the owner may drop this controller from here.
    if (std::function<void()> onClose = std::exchange(m_onClose, nullptr))
        onClose();
}

void AccessibilityGuideWindowController::fade(qreal target, std::chrono::milliseconds duration,
                                              QEasingCurve curve, std::function<void()> done)
{
    Fade step{target, duration, std::move(curve), std::move(done)};
    if (m_fader)
        m_fader(*m_window, std::move(step));
    else
        animate(*m_window, std::move(step));
}

void AccessibilityGuideWindowController::animate(QWidget& window, Fade fade)
{
    if (m_animation) {
        // A replaced fade is over: its completion still runs, and finds its generation outdated.
        m_animation->stop();
        m_animation->deleteLater();
        if (std::function<void()> done = std::exchange(m_animationDone, nullptr))
            QMetaObject::invokeMethod(this, std::move(done), Qt::QueuedConnection);
    }
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(window.windowOpacity());
    animation->setEndValue(fade.target);
    animation->setDuration(int(fade.duration.count()));
    animation->setEasingCurve(fade.curve);
    QPointer<QWidget> target(&window);
    connect(animation, &QVariantAnimation::valueChanged, this, [target](const QVariant& value) {
        if (target)
            target->setWindowOpacity(value.toReal());
    });
    connect(animation, &QVariantAnimation::finished, this, [this, animation] {
        animation->deleteLater();
        if (m_animation != animation)
            return;
        m_animation = nullptr;
        if (std::function<void()> done = std::exchange(m_animationDone, nullptr))
            QMetaObject::invokeMethod(this, std::move(done), Qt::QueuedConnection);
    });
    m_animation = animation;
    m_animationDone = std::move(fade.done);
    animation->start();
}

void AccessibilityGuideWindowController::applicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationActive) {
        if (m_hiddenWhileInactive && !m_isClosing)
            m_window->show();
        m_hiddenWhileInactive = false;
    } else if (m_window->isVisible() && !m_isClosing) {
        m_hiddenWhileInactive = true;
        m_window->hide();
    }
}
