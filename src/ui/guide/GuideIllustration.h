#pragma once

#include <QRectF>
#include <QWidget>

// One picture of the accessibility guide, drawn by Clipwell itself at the column's width: what the
// step shows on X11, framed like a window with rounded top corners and a thin border, with a red ring
// around what to look at or use.
class GuideIllustration : public QWidget {
    Q_OBJECT

public:
    enum class Kind {
        // A terminal where xdpyinfo lists the two extensions quick paste needs.
        extensionCheck,
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

    explicit GuideIllustration(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    // Where the ring's rectangle lies in this widget, before it is grown by the ring's margin.
    QRectF highlightRect() const;
    // Where the picture draws what the ring frames, in this widget.
    QRectF controlRect() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSizeF canvasSize() const;
    QRectF canvasControl() const;

    Kind m_kind;
};
