#pragma once

// Keys pressed and released through XTEST, each acknowledged by the server before the next.
#include "platform/x11/X11Keyboard.h"

#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

struct Typist {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    X11Keyboard keyboard = X11Keyboard::read(connection).value_or(X11Keyboard());
    xcb_keycode_t super = 0;
    xcb_keycode_t shift = 0;

    Typist()
    {
        for (int key = 8; key < 256; ++key) {
            if (!super && (keyboard.modifierBits[key] & keyboard.superMask))
                super = xcb_keycode_t(key);
            if (!shift && (keyboard.modifierBits[key] & XCB_MOD_MASK_SHIFT))
                shift = xcb_keycode_t(key);
        }
    }
    ~Typist() { xcb_disconnect(connection); }

    bool canType() const
    {
        return !xcb_connection_has_error(connection) && keyboard.forwardKey && super && shift;
    }

    void key(bool press, xcb_keycode_t key)
    {
        xcb_test_fake_input(connection, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, key, XCB_CURRENT_TIME,
                            XCB_WINDOW_NONE, 0, 0, 0);
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
};
