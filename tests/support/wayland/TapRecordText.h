#pragma once

#include "platform/wayland/WaylandKeyTranslator.h"

#include <QString>

// A tap record in a few letters: "F:<flags>" for a modifiers change, "D:<key>:<flags>" and
// "U:<key>:<flags>" for a key down and up ("*" after the key: a repeat). Keys are V, Z, E (Escape), O
// (any other), ? (a code no key should have); flags S, C, A, W (Shift, Control, Option, Command).
inline QString tapRecordText(const TapEvent& record)
{
    QString flags;
    for (const auto& [bit, letter] : {std::pair{TapEvent::shiftFlag, 'S'},
                                      {TapEvent::controlFlag, 'C'},
                                      {TapEvent::optionFlag, 'A'},
                                      {TapEvent::commandFlag, 'W'}})
        if (record.flags & bit)
            flags += QLatin1Char(letter);
    if (record.type == TapEvent::flagsChanged)
        return QLatin1String("F:") + flags;
    const char* key = record.keyCode == TapEvent::keyV                   ? "V"
                      : record.keyCode == TapEvent::keyZ                 ? "Z"
                      : record.keyCode == TapEvent::keyEscape            ? "E"
                      : record.keyCode == WaylandKeyTranslator::otherKey ? "O"
                                                                         : "?";
    return QLatin1String(record.type == TapEvent::keyDown ? "D:" : "U:") + QLatin1String(key) +
           QLatin1String(record.autorepeat ? "*:" : ":") + flags;
}
