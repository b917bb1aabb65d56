#include "models/PasteShortcut.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace {

QSet<QString> lowered(const QStringList& classes)
{
    QSet<QString> set;
    for (const QString& name : classes) {
        if (!name.trimmed().isEmpty())
            set.insert(name.trimmed().toLower());
    }
    return set;
}

bool any(const QStringList& windowClasses, const QSet<QString>& set)
{
    for (const QString& name : windowClasses) {
        if (set.contains(name.toLower()))
            return true;
    }
    return false;
}

// Window classes as the terminals set them (instance or class name, lower case).
const QSet<QString>& builtInControlShiftV()
{
    static const QSet<QString> classes = lowered({
        // VTE-based
        u"gnome-terminal"_s,
        u"gnome-terminal-server"_s,
        u"org.gnome.console"_s,
        u"kgx"_s,
        u"org.gnome.ptyxis"_s,
        u"tilix"_s,
        u"terminator"_s,
        u"xfce4-terminal"_s,
        u"mate-terminal"_s,
        u"lxterminal"_s,
        u"guake"_s,
        u"tilda"_s,
        u"sakura"_s,
        u"roxterm"_s,
        u"termite"_s,
        u"io.elementary.terminal"_s,
        u"deepin-terminal"_s,
        u"com.raggesilver.blackbox"_s,
        // Others that paste the clipboard with Control+Shift+V
        u"konsole"_s,
        u"yakuake"_s,
        u"kitty"_s,
        u"alacritty"_s,
        u"org.wezfurlong.wezterm"_s,
        u"wezterm"_s,
        u"qterminal"_s,
        u"terminology"_s,
        u"cool-retro-term"_s,
        u"foot"_s,
        u"com.mitchellh.ghostty"_s,
        u"contour"_s,
        u"hyper"_s,
        u"tabby"_s,
        // st pastes PRIMARY with Shift+Insert too, but the clipboard with this, which leaves PRIMARY be
        u"st"_s,
        u"st-256color"_s,
    });
    return classes;
}

const QSet<QString>& builtInShiftInsert()
{
    static const QSet<QString> classes = lowered({
        u"xterm"_s,
        u"uxterm"_s,
        u"urxvt"_s,
        u"rxvt"_s,
        u"urxvt-unicode"_s,
        u"rxvt-unicode"_s,
        u"eterm"_s,
        u"aterm"_s,
    });
    return classes;
}

} // namespace

PasteShortcutTable::PasteShortcutTable(const QStringList& controlShiftV, const QStringList& shiftInsert)
    : m_controlShiftV(lowered(controlShiftV)), m_shiftInsert(lowered(shiftInsert))
{
}

PasteShortcut PasteShortcutTable::shortcutFor(const QStringList& windowClasses) const
{
    for (const auto& [set, shortcut] : {std::pair{&m_shiftInsert, PasteShortcut::shiftInsert},
                                        std::pair{&m_controlShiftV, PasteShortcut::controlShiftV},
                                        std::pair{&builtInShiftInsert(), PasteShortcut::shiftInsert},
                                        std::pair{&builtInControlShiftV(), PasteShortcut::controlShiftV}}) {
        if (any(windowClasses, *set))
            return shortcut;
    }
    return PasteShortcut::controlV;
}
