#pragma once

#include <QColor>
#include <QPalette>

// The four button looks every window shares: shape, padding, height, and the colours of each state.
namespace HistoryButtonStyle {

// icon: header and close buttons; action: the copy-again button; secondary: settings status rows
// and dialog buttons; primary: the grant-access buttons; destructive: a confirmed action that cannot
// be undone.
enum class Kind { icon, action, secondary, primary, destructive };

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
// Kinds whose fill does not change with focus show it as a ring inside their shape; transparent when
// there is none to draw.
QColor focusRing(Kind kind, const State& state, const QPalette& palette);
// The ring's stroke and its distance from the button's edge.
inline constexpr qreal focusRingWidth = 2;
inline constexpr qreal focusRingInset = 3;

// Everything of a disabled button, fill and label, is drawn at this opacity.
inline constexpr qreal disabledOpacity = 0.4;

} // namespace HistoryButtonStyle
