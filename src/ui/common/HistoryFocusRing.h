#pragma once

#include <QPointer>
#include <QWidget>

// The keyboard-focus mark of a control that draws none of its own (a text preview, a scrolled
// list): a ring along the edge of frame, shown while target has the focus in the active window. It is
// an overlay that takes no clicks.
class HistoryFocusRing : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal width = 2;
    // From the frame's edge, so the ring never runs into a neighbouring divider.
    static constexpr qreal inset = 3;
    static constexpr qreal radius = 6;

    // frame defaults to target; the ring lives as long as frame.
    static HistoryFocusRing* attach(QWidget* target, QWidget* frame = nullptr);

    // Whether the ring is drawn now.
    bool isLit() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    HistoryFocusRing(QWidget* target, QWidget* frame);

    QPointer<QWidget> m_target;
};
