#pragma once

#include <functional>

class AppLocalization;
class QMenuBar;

// The menu bar of the history window: the application menu ("Clipwell"), Edit and Window. Titles are
// read in the localization's current language, so a language change builds a new bar.
namespace MainMenu {

struct Actions {
    std::function<void()> showAbout;
    // Empty while there is nothing to open: the item is shown disabled.
    std::function<void()> showSettings;
    std::function<void()> showHistory;
    std::function<void()> hideApplication;
    std::function<void()> quit;
};

// Edit items act on the focused widget and Window items on the active window, as the first responder
// would; both do nothing where that widget cannot.
QMenuBar* build(const AppLocalization& localization, const Actions& actions);

} // namespace MainMenu
