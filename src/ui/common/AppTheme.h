#pragma once

#include <QPalette>
#include <QString>
#include <array>
#include <optional>

class Preferences;

// The user's choice of look; raw values are what the preferences store under "appTheme".
enum class AppTheme { system, light, dark };

namespace AppThemes {

// Also the order of the theme picker.
inline constexpr std::array<AppTheme, 3> allCases{AppTheme::system, AppTheme::light, AppTheme::dark};

QString rawValue(AppTheme theme);
std::optional<AppTheme> fromRawValue(const QString& rawValue);
// The picker's label in the current interface language.
QString title(AppTheme theme);
// The stored choice; absent or unknown values mean system.
AppTheme stored(const Preferences& preferences);

// Changes every open window at once. System hands the palette back to the platform, so later
// platform changes show up without us; light and dark install complete palettes that the platform
// cannot override.
void apply(AppTheme theme);

QPalette lightPalette();
QPalette darkPalette();

bool isDark(const QPalette& palette);
// Whether the application palette currently in force is dark.
bool isDark();

} // namespace AppThemes
