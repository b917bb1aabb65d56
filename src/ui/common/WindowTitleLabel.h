#pragma once

#include <QLabel>

// The window's title drawn in its own title strip, for windows whose title bar we draw ourselves. A
// press in it moves the window, as a press in a title bar would.
class WindowTitleLabel : public QLabel {
    Q_OBJECT

public:
    explicit WindowTitleLabel(const QString& title, QWidget* parent = nullptr);

    // A press in the label may start dragging the window.
    bool movesWindow() const { return true; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
