#include "ui/common/HistoryButtonStyle.h"

#include "ui/common/HistoryAppearance.h"

namespace HistoryButtonStyle {

namespace {

QColor withOpacity(QColor colour, qreal opacity)
{
    colour.setAlphaF(static_cast<float>(colour.alphaF() * opacity));
    return colour;
}

// Filled kinds fade a little under the pointer and more while held, but never while disabled.
qreal fillOpacity(const State& state)
{
    if (!state.enabled)
        return 1.0;
    if (state.pressed)
        return 0.75;
    if (state.hovered)
        return 0.9;
    return 1.0;
}

} // namespace

Metrics metrics(Kind kind)
{
    switch (kind) {
    case Kind::icon:
        return {false, 8, 6, 30};
    case Kind::action:
        return {true, 21, 16, 42};
    case Kind::secondary:
        return {false, 8, 12, 28};
    case Kind::primary:
    case Kind::destructive:
        return {false, 8, 12, 28};
    }
    return {false, 8, 12, 28};
}

QColor background(Kind kind, const State& state, const QPalette& palette)
{
    using HistoryAppearance::Colour;
    switch (kind) {
    case Kind::primary:
        return withOpacity(HistoryAppearance::resolve(Colour::blue, palette), fillOpacity(state));
    case Kind::destructive:
        return withOpacity(HistoryAppearance::resolve(Colour::destructive, palette), fillOpacity(state));
    case Kind::action:
        return withOpacity(HistoryAppearance::resolve(Colour::selected, palette), fillOpacity(state));
    case Kind::secondary:
        if (state.enabled && state.pressed)
            return HistoryAppearance::resolve(Colour::secondaryButtonPressed, palette);
        if (state.enabled && (state.hovered || state.focused))
            return HistoryAppearance::resolve(Colour::secondaryButtonHover, palette);
        return withOpacity(palette.color(QPalette::Active, QPalette::Base), 0.85);
    case Kind::icon:
        if (state.pressed)
            return HistoryAppearance::resolve(Colour::hover, palette);
        if (state.enabled && state.focused)
            return HistoryAppearance::resolve(Colour::selected, palette);
        if (state.hovered)
            return HistoryAppearance::resolve(Colour::card, palette);
        return Qt::transparent;
    }
    return Qt::transparent;
}

QColor foreground(Kind kind, const QPalette& palette)
{
    if (kind == Kind::primary || kind == Kind::destructive)
        return Qt::white;
    return palette.color(QPalette::Active, QPalette::WindowText);
}

QColor focusRing(Kind kind, const State& state, const QPalette& palette)
{
    if (!state.enabled || !state.focused)
        return Qt::transparent;
    switch (kind) {
    case Kind::action:
        return HistoryAppearance::resolve(HistoryAppearance::Colour::blue, palette);
    case Kind::primary:
    case Kind::destructive:
        return foreground(kind, palette);
    case Kind::icon:
    case Kind::secondary:
        break;
    }
    return Qt::transparent;
}

} // namespace HistoryButtonStyle
