// A window with the keyboard focus that prints every key it receives, for input tests on plain XCB.
//   test_key_target [--grab-keyboard]
// Prints "ready" once it has the focus (or, with --grab-keyboard, holds the whole keyboard the way a
// screen locker does), then "press KEYCODE STATE" and "release KEYCODE STATE" lines; runs until
// signalled.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <xcb/xcb.h>

int main(int argc, char** argv)
{
    const bool grabKeyboard = argc > 1 && std::strcmp(argv[1], "--grab-keyboard") == 0;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 50, 50, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
    const char wmClass[] = "keytarget\0KeyTarget";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof wmClass, wmClass);
    xcb_map_window(c, window);
    xcb_flush(c);
    xcb_intern_atom_reply_t* active =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 18, "_NET_ACTIVE_WINDOW"), nullptr);
    bool ready = false;
    // The window manager may take a moment to map the window and may keep the focus elsewhere; ask
    // for the focus as a pager would (which it grants), and directly, until it is ours.
    for (int attempt = 0; attempt < 200 && !ready; ++attempt) {
        usleep(20000);
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = active ? active->atom : xcb_atom_t(XCB_ATOM_NONE);
        message.data.data32[0] = 2;
        xcb_send_event(c, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
        xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
        ready = focus && focus->focus == window;
        std::free(focus);
    }
    if (ready && grabKeyboard) {
        xcb_grab_keyboard_reply_t* grab = xcb_grab_keyboard_reply(
            c, xcb_grab_keyboard(c, 0, window, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr);
        ready = grab && grab->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(grab);
    }
    std::free(active);
    if (!ready)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
            const auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
            std::printf("%s %u %u\n", type == XCB_KEY_PRESS ? "press" : "release", key->detail, key->state);
            std::fflush(stdout);
        }
        std::free(event);
    }
    return 0;
}
