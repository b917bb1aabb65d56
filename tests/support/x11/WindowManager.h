#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <cstdlib>
#include <xcb/xcb.h>

// Starts openbox on the test display and waits until it manages windows; false when it never does.
// Managing is seen on a probe window of our own being framed: the window manager's root property
// alone appears before it takes new windows, and a window mapped then is left unmanaged.
inline bool startWindowManager(QProcess& windowManager)
{
    windowManager.start(QStringLiteral("openbox"), {});
    if (!windowManager.waitForStarted())
        return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t probe = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    bool managed = false;
    for (QDeadlineTimer deadline(20000); !managed && !deadline.hasExpired(); QThread::msleep(50)) {
        // Mapped again until framed: a map made before the window manager listened goes unseen.
        xcb_map_window(connection, probe);
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(connection, xcb_query_tree(connection, probe), nullptr);
        managed = tree && tree->parent != screen->root;
        std::free(tree);
    }
    xcb_destroy_window(connection, probe);
    xcb_disconnect(connection);
    return managed;
}
