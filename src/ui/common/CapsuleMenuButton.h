#pragma once

#include <QAbstractButton>

// A capsule naming the current option, with a chevron, that opens a list of options: the history
// window's kind filter and the settings' pickers.
class CapsuleMenuButton : public QAbstractButton {
    Q_OBJECT

public:
    using QAbstractButton::QAbstractButton;

protected:
    static constexpr int leadingPadding = 12;
    static constexpr int trailingPadding = 30;

    // The fill at rest, which depends on what the capsule sits on.
    virtual QColor restingFill() const = 0;
    // The list is open: the capsule shows it as pressed.
    virtual bool isOpen() const = 0;

    void paintEvent(QPaintEvent* event) override;
    // Space is QAbstractButton's; Return opens the list as it activates any focused button.
    void keyPressEvent(QKeyEvent* event) override;
};
