#include "ui/common/HistoryAppearance.h"

#include "ui/common/AppTheme.h"

#include <QApplication>
#include <QWidget>

namespace HistoryAppearance {

namespace {

// The one dark background the sidebar, detail pane and window share.
constexpr QRgb unifiedDark = 0xFF202328;

} // namespace

QColor resolve(Colour colour, const QPalette& palette)
{
    const bool dark = AppThemes::isDark(palette);
    const auto pick = [dark](QRgb light, QRgb darkValue) {
        return QColor::fromRgb(dark ? darkValue : light);
    };
    switch (colour) {
    case Colour::sidebar:
        return pick(0xFFF5F7FA, unifiedDark);
    case Colour::detailBackground:
        return dark ? QColor::fromRgb(unifiedDark) : palette.color(QPalette::Active, QPalette::Base);
    case Colour::windowBackground:
        return dark ? QColor::fromRgb(unifiedDark) : palette.color(QPalette::Active, QPalette::Window);
    case Colour::card:
        return pick(0xFFEDF0F4, 0xFF2D3239);
    case Colour::hover:
        return pick(0xFFE7ECF2, 0xFF353C46);
    case Colour::selected:
        return pick(0xFFC9DFFD, 0xFF24466F);
    case Colour::selectedSecondary:
        return pick(0xFF536278, 0xFFB0B7C1);
    case Colour::secondaryButtonHover:
        return pick(0xFFDCE8FA, 0xFF344A68);
    case Colour::secondaryButtonPressed:
        return pick(0xFFC9DAF5, 0xFF406086);
    case Colour::secondary:
        return pick(0xFF666C75, 0xFFB0B7C1);
    case Colour::blue:
        return QColor::fromRgbF(0.18f, 0.51f, 1.0f);
    case Colour::destructive:
        // Dark enough under white text in both themes.
        return pick(0xFFD12F26, 0xFFD8463D);
    }
    return {};
}

QColor resolve(Colour colour, const QWidget* widget)
{
    return resolve(colour, widget ? widget->palette() : QGuiApplication::palette());
}

} // namespace HistoryAppearance
