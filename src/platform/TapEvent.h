#pragma once

#include <QPointF>
#include <QtGlobal>

// One keyboard or mouse event as the shortcut monitor judges it, in the key codes and flag bits the
// monitor speaks whatever the platform: backends translate their own events into this record.
struct TapEvent {
    enum Type : quint32 {
        leftMouseDown = 1,
        rightMouseDown = 3,
        keyDown = 10,
        keyUp = 11,
        flagsChanged = 12,
        scrollWheel = 22,
        otherMouseDown = 25,
        tapDisabledByTimeout = 0xFFFFFFFE,
        tapDisabledByUserInput = 0xFFFFFFFF,
    };

    static constexpr quint16 keyV = 9;
    static constexpr quint16 keyZ = 6;
    static constexpr quint16 keyEscape = 53;

    static constexpr quint64 capsLockFlag = 0x10000;
    static constexpr quint64 shiftFlag = 0x20000;
    static constexpr quint64 controlFlag = 0x40000;
    static constexpr quint64 optionFlag = 0x80000;
    static constexpr quint64 commandFlag = 0x100000;

    // Written into `userData` of Clipwell's own paste keystroke ("CLPWEL").
    static constexpr qint64 pasteEventMarker = 0x434C5057454C;

    Type type = keyDown;
    quint16 keyCode = 0;
    quint64 flags = 0;
    bool autorepeat = false;
    qint64 userData = 0;
    // Where a mouse event happened, in the coordinates of the popup frame given to the monitor.
    QPointF location = QPointF();
    // Wheel deltas: lines, fixed-point and pixels, vertical (axis 1) and horizontal (axis 2).
    qint64 lineDeltaAxis1 = 0;
    qint64 lineDeltaAxis2 = 0;
    double fixedPtDeltaAxis1 = 0;
    double fixedPtDeltaAxis2 = 0;
    qint64 pointDeltaAxis1 = 0;
    qint64 pointDeltaAxis2 = 0;
};
