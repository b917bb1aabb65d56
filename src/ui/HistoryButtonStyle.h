#pragma once

#include <QColor>
#include <QPalette>

// The four button looks every window shares: shape, padding, height, and the colours of each state.
namespace HistoryButtonStyle {

// icon: header and close buttons; action: the copy-again button; secondary: settings status rows;
// primary: the grant-access buttons.
enum class Kind { icon, action, secondary, primary };

struct Metrics {
    bool capsule;          // else a rounded rectangle of `radius`
    qreal radius;          // for a capsule, half the height at draw time
    int horizontalPadding; // each side
    int height;
};

Metrics metrics(Kind kind);

struct State {
    bool enabled = true;
    bool pressed = false;
    bool hovered = false;
    bool focused = false;
};

// The fill before the disabled opacity; transparent when the kind draws none.
QColor background(Kind kind, const State& state, const QPalette& palette);
QColor foreground(Kind kind, const QPalette& palette);

// Everything of a disabled button, fill and label, is drawn at this opacity.
inline constexpr qreal disabledOpacity = 0.4;

} // namespace HistoryButtonStyle
