#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

// The named colours every window shares. Each has a light and a dark value and is resolved whenever
// it is drawn, against the palette of the widget being painted, so a theme or system change reaches
// every view without a restart. Never keep a resolved colour across paints.
namespace HistoryAppearance {

enum class Colour {
    sidebar,
    detailBackground,
    windowBackground,
    card,
    hover,
    selected,
    selectedSecondary,
    secondaryButtonHover,
    secondaryButtonPressed,
    secondary,
    blue,
    // The fill of a button whose action cannot be undone.
    destructive,
};

QColor resolve(Colour colour, const QPalette& palette);
QColor resolve(Colour colour, const QWidget* widget);

// Shorthands over the widget's palette.
inline QColor sidebar(const QWidget* widget)
{
    return resolve(Colour::sidebar, widget);
}
inline QColor detailBackground(const QWidget* widget)
{
    return resolve(Colour::detailBackground, widget);
}
inline QColor windowBackground(const QWidget* widget)
{
    return resolve(Colour::windowBackground, widget);
}
inline QColor card(const QWidget* widget)
{
    return resolve(Colour::card, widget);
}
inline QColor hover(const QWidget* widget)
{
    return resolve(Colour::hover, widget);
}
inline QColor selected(const QWidget* widget)
{
    return resolve(Colour::selected, widget);
}
inline QColor selectedSecondary(const QWidget* widget)
{
    return resolve(Colour::selectedSecondary, widget);
}
inline QColor secondaryButtonHover(const QWidget* widget)
{
    return resolve(Colour::secondaryButtonHover, widget);
}
inline QColor secondaryButtonPressed(const QWidget* widget)
{
    return resolve(Colour::secondaryButtonPressed, widget);
}
inline QColor secondary(const QWidget* widget)
{
    return resolve(Colour::secondary, widget);
}
inline QColor blue(const QWidget* widget)
{
    return resolve(Colour::blue, widget);
}
inline QColor destructive(const QWidget* widget)
{
    return resolve(Colour::destructive, widget);
}

} // namespace HistoryAppearance
