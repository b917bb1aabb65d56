#include "ui/common/AppTheme.h"

#include "l10n/Localization.h"
#include "app/Preferences.h"

#include <QApplication>

namespace AppThemes {

QString rawValue(AppTheme theme)
{
    switch (theme) {
    case AppTheme::system:
        return QStringLiteral("system");
    case AppTheme::light:
        return QStringLiteral("light");
    case AppTheme::dark:
        return QStringLiteral("dark");
    }
    return QStringLiteral("system");
}

std::optional<AppTheme> fromRawValue(const QString& rawValue)
{
    for (AppTheme theme : allCases) {
        if (AppThemes::rawValue(theme) == rawValue)
            return theme;
    }
    return std::nullopt;
}

QString title(AppTheme theme)
{
    switch (theme) {
    case AppTheme::system:
        return L10n::text(L10n::Key::followSystem);
    case AppTheme::light:
        return L10n::text(L10n::Key::themeLight);
    case AppTheme::dark:
        return L10n::text(L10n::Key::themeDark);
    }
    return {};
}

AppTheme stored(const Preferences& preferences)
{
    const std::optional<QString> value = preferences.stringValue(Preferences::Key::appTheme);
    return value ? fromRawValue(*value).value_or(AppTheme::system) : AppTheme::system;
}

void apply(AppTheme theme)
{
    switch (theme) {
    case AppTheme::system:
        // An empty resolve mask makes Qt resolve every role against the platform theme, now and on
        // each later platform change.
        QApplication::setPalette(QPalette());
        break;
    case AppTheme::light:
        QApplication::setPalette(lightPalette());
        break;
    case AppTheme::dark:
        QApplication::setPalette(darkPalette());
        break;
    }
    // Qt posts the change to existing widgets; deliver it now so that whoever applied the theme
    // reads the new colours straight away.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::ApplicationPaletteChange);
}

namespace {

struct Scheme {
    QColor window, windowText, base, alternateBase, text, button, buttonText, placeholder;
    QColor light, midlight, mid, dark, shadow;
    QColor highlight, highlightedText, link, linkVisited, toolTipBase, toolTipText, brightText;
    QColor disabledText, disabledButton, disabledBase, disabledHighlight;
};

QPalette paletteFrom(const Scheme& s)
{
    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        palette.setColor(group, QPalette::Window, s.window);
        palette.setColor(group, QPalette::WindowText, disabled ? s.disabledText : s.windowText);
        palette.setColor(group, QPalette::Base, disabled ? s.disabledBase : s.base);
        palette.setColor(group, QPalette::AlternateBase, s.alternateBase);
        palette.setColor(group, QPalette::Text, disabled ? s.disabledText : s.text);
        palette.setColor(group, QPalette::Button, disabled ? s.disabledButton : s.button);
        palette.setColor(group, QPalette::ButtonText, disabled ? s.disabledText : s.buttonText);
        palette.setColor(group, QPalette::PlaceholderText, s.placeholder);
        palette.setColor(group, QPalette::Light, s.light);
        palette.setColor(group, QPalette::Midlight, s.midlight);
        palette.setColor(group, QPalette::Mid, s.mid);
        palette.setColor(group, QPalette::Dark, s.dark);
        palette.setColor(group, QPalette::Shadow, s.shadow);
        palette.setColor(group, QPalette::Highlight, disabled ? s.disabledHighlight : s.highlight);
        palette.setColor(group, QPalette::HighlightedText, disabled ? s.disabledText : s.highlightedText);
        palette.setColor(group, QPalette::Link, s.link);
        palette.setColor(group, QPalette::LinkVisited, s.linkVisited);
        palette.setColor(group, QPalette::ToolTipBase, s.toolTipBase);
        palette.setColor(group, QPalette::ToolTipText, s.toolTipText);
        palette.setColor(group, QPalette::BrightText, s.brightText);
    }
    return palette;
}

} // namespace

QPalette lightPalette()
{
    Scheme s;
    s.window = QColor(0xEC, 0xEE, 0xF1);
    s.windowText = QColor(0x1D, 0x21, 0x26);
    s.base = QColor(0xFF, 0xFF, 0xFF);
    s.alternateBase = QColor(0xF5, 0xF7, 0xFA);
    s.text = s.windowText;
    s.button = QColor(0xF5, 0xF7, 0xFA);
    s.buttonText = s.windowText;
    s.placeholder = QColor(0x8A, 0x90, 0x99);
    s.light = QColor(0xFF, 0xFF, 0xFF);
    s.midlight = QColor(0xE7, 0xEC, 0xF2);
    s.mid = QColor(0xB8, 0xBE, 0xC7);
    s.dark = QColor(0x9A, 0xA1, 0xAB);
    s.shadow = QColor(0x4A, 0x50, 0x58);
    s.highlight = QColor(0x2E, 0x82, 0xFF);
    s.highlightedText = QColor(0xFF, 0xFF, 0xFF);
    s.link = QColor(0x1F, 0x6F, 0xE5);
    s.linkVisited = QColor(0x6A, 0x4F, 0xC9);
    s.toolTipBase = QColor(0xFF, 0xFF, 0xFF);
    s.toolTipText = s.windowText;
    s.brightText = QColor(0xFF, 0xFF, 0xFF);
    s.disabledText = QColor(0xA3, 0xA8, 0xB0);
    s.disabledButton = QColor(0xEC, 0xEE, 0xF1);
    s.disabledBase = QColor(0xF5, 0xF7, 0xFA);
    s.disabledHighlight = QColor(0xC9, 0xDF, 0xFD);
    return paletteFrom(s);
}

QPalette darkPalette()
{
    Scheme s;
    s.window = QColor(0x20, 0x23, 0x28);
    s.windowText = QColor(0xE6, 0xE9, 0xED);
    s.base = QColor(0x18, 0x1B, 0x1F);
    s.alternateBase = QColor(0x2D, 0x32, 0x39);
    s.text = s.windowText;
    s.button = QColor(0x2D, 0x32, 0x39);
    s.buttonText = s.windowText;
    s.placeholder = QColor(0x7C, 0x83, 0x8D);
    s.light = QColor(0x4A, 0x52, 0x5D);
    s.midlight = QColor(0x35, 0x3C, 0x46);
    s.mid = QColor(0x2A, 0x2F, 0x36);
    s.dark = QColor(0x14, 0x16, 0x1A);
    s.shadow = QColor(0x00, 0x00, 0x00);
    s.highlight = QColor(0x2E, 0x82, 0xFF);
    s.highlightedText = QColor(0xFF, 0xFF, 0xFF);
    s.link = QColor(0x6C, 0xA6, 0xFF);
    s.linkVisited = QColor(0xB0, 0x95, 0xF5);
    s.toolTipBase = QColor(0x2D, 0x32, 0x39);
    s.toolTipText = s.windowText;
    s.brightText = QColor(0xFF, 0xFF, 0xFF);
    s.disabledText = QColor(0x6B, 0x72, 0x7C);
    s.disabledButton = QColor(0x26, 0x2A, 0x30);
    s.disabledBase = QColor(0x1C, 0x1F, 0x23);
    s.disabledHighlight = QColor(0x24, 0x46, 0x6F);
    return paletteFrom(s);
}

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Window).lightnessF() < 0.5;
}

bool isDark()
{
    return isDark(QGuiApplication::palette());
}

} // namespace AppThemes
