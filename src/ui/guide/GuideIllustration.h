#pragma once

#include "services/DelayTimer.h"

#include <QRectF>
#include <QVariantAnimation>
#include <QWidget>
#include <memory>

class ReducedMotion;

// One picture of the accessibility guide, drawn by Clipwell itself at the column's width: a schematic
// window of what the step means on X11, framed like a window with rounded top corners and a thin
// border, with a red ring around the control to use.
class GuideIllustration : public QWidget {
    Q_OBJECT

public:
    enum class Kind {
        // The display's extensions, XTEST's switch turning on (animated unless motion is reduced).
        extensionSwitch,
        // The login screen's session menu, where an X11 session is chosen.
        session,
        // Clipwell's history window with its settings button, and the quick paste switch it leads to.
        settings,
    };

    struct Screenshot {
        // Width ÷ height.
        qreal aspectRatio;
        // The ring's place, in unit coordinates of the picture.
        QRectF highlight;
    };
    static Screenshot screenshot(Kind kind);

    // The switch's loop timer defaults to a real one, the motion setting to the shared one.
    explicit GuideIllustration(Kind kind, QWidget* parent = nullptr,
                               std::unique_ptr<DelayTimer> loop = nullptr,
                               ReducedMotion* reducedMotion = nullptr);

    Kind kind() const { return m_kind; }
    // Where the ring's rectangle lies in this widget, before it is grown by the ring's margin.
    QRectF highlightRect() const;
    // Where the picture draws the control the ring frames, in this widget.
    QRectF controlRect() const;
    // How far the extension switch is on, 0 to 1; for the gallery it can be set by hand.
    qreal switchProgress() const { return m_progress; }
    void setSwitchProgress(qreal progress);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QSizeF canvasSize() const;
    QRectF canvasControl() const;
    void updateLoop();
    void waitThenTurnOn();

    Kind m_kind;
    std::unique_ptr<DelayTimer> m_loop;
    ReducedMotion& m_reducedMotion;
    QVariantAnimation m_turnOn;
    qreal m_progress = 0;
    bool m_looping = false;
};
