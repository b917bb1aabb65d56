#pragma once

#include "services/DelayTimer.h"

#include <QEasingCurve>
#include <QObject>
#include <QPointer>
#include <QVariantAnimation>
#include <chrono>
#include <functional>
#include <memory>

class AccessibilityGuideView;
class ReducedMotion;
class QWidget;

// The accessibility guide's window: a frameless floating window that can take the focus, fades in and
// out, hides while Clipwell is not the active application, and is moved by dragging its background.
class AccessibilityGuideWindowController : public QObject {
    Q_OBJECT

public:
    // One change of the window's opacity; `done` runs on the main thread once the fade is over or a
    // later fade took its place.
    struct Fade {
        qreal target;
        std::chrono::milliseconds duration;
        QEasingCurve curve;
        std::function<void()> done;
    };
    using Fader = std::function<void(QWidget& window, Fade fade)>;

    // What tests replace; each left empty defaults to the real one.
    struct Environment {
        Fader fader;
        std::unique_ptr<DelayTimer> permissionWatch;
        ReducedMotion* reducedMotion;
    };

    // onAuthorize: whether the settings that grant quick paste could be opened. onAuthorized: run once
    // when isTrusted first says yes, before the guide closes. onClose: run once when the window goes
    // away; it may drop this controller.
    AccessibilityGuideWindowController(std::function<bool()> onAuthorize, std::function<void()> onAuthorized,
                                       std::function<void()> onClose, std::function<bool()> isTrusted,
                                       Environment environment = {}, QObject* parent = nullptr);
    ~AccessibilityGuideWindowController() override;

    // Shows the window, activated and in front; fades in unless it is already shown and settled.
    void present();
    // Fades out, then closes; closes at once when hidden.
    void close();
    // For quitting: closes without the fade.
    void closeImmediately();

    bool isClosing() const { return m_isClosing; }
    quint64 transitionGeneration() const { return m_transitionGeneration; }
    QWidget& window() const;
    AccessibilityGuideView& view() const { return *m_view; }

private:
    void fade(qreal target, std::chrono::milliseconds duration, QEasingCurve curve,
              std::function<void()> done);
    void animate(QWidget& window, Fade fade);
    void finishClosing();
    void applicationStateChanged(Qt::ApplicationState state);

    std::function<void()> m_onAuthorized;
    std::function<void()> m_onClose;
    Fader m_fader;
    ReducedMotion& m_reducedMotion;
    std::unique_ptr<QWidget> m_window;
    AccessibilityGuideView* m_view = nullptr;
    QPointer<QVariantAnimation> m_animation;
    std::function<void()> m_animationDone;
    bool m_isClosing = false;
    bool m_hiddenWhileInactive = false;
    quint64 m_transitionGeneration = 0;
};
