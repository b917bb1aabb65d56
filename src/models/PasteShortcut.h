#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The keys that paste in the window in front. Most applications paste the clipboard with Control+V;
// terminals keep Control+V for the program they run (it types ^V) and paste with Control+Shift+V;
// the terminals of the X tradition paste only the PRIMARY selection, with Shift+Insert.
enum class PasteShortcut { controlV, controlShiftV, shiftInsert };

// Which windows paste how, by their window class; users name further classes in their preferences.
class PasteShortcutTable {
public:
    PasteShortcutTable(const QStringList& controlShiftV = {}, const QStringList& shiftInsert = {});

    // The classes the window goes by (on X11 WM_CLASS's instance and class names), compared without
    // case; the user's own classes win over the built-in ones.
    PasteShortcut shortcutFor(const QStringList& windowClasses) const;

private:
    QSet<QString> m_controlShiftV;
    QSet<QString> m_shiftInsert;
};
