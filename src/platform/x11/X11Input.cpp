#include "platform/x11/X11Input.h"

#include "models/QuickPasteLog.h"

#include <QMutexLocker>
#include <QStringList>
#include <algorithm>
#include <array>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
// xkb.h names a field `explicit`, which C++ reserves.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-x11.h>

namespace {

using Clock = std::chrono::steady_clock;

// Sequence numbers wrap at 16 bits; an event at or after the request belongs to its time.
bool atOrAfter(uint16_t sequence, uint16_t request)
{
    return int16_t(uint16_t(sequence - request)) >= 0;
}

QString combination(uint16_t locks, uint16_t numLock)
{
    QStringList held;
    if (locks & XCB_MOD_MASK_LOCK)
        held << QStringLiteral("Caps Lock");
    if (numLock && (locks & numLock))
        held << QStringLiteral("Num Lock");
    return held.isEmpty() ? QStringLiteral("no lock") : held.join(QLatin1Char('+'));
}

} // namespace

X11Input::X11Input(const QByteArray& displayName)
{
    int screenNumber = 0;
    m_connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(m_connection))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;

    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(m_connection, &xcb_test_id);
    m_hasXTest = xtest && xtest->present;
    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(m_connection, &xcb_input_id);
    if (xinput && xinput->present) {
        m_xinputOpcode = xinput->major_opcode;
        // Raw events reach the root window during other clients' grabs from version 2.1 on.
        const XcbReply<xcb_input_xi_query_version_reply_t> version(xcb_input_xi_query_version_reply(
            m_connection, xcb_input_xi_query_version(m_connection, 2, 2), nullptr));
        m_hasXInput2 = version && (version->major_version > 2 ||
                                   (version->major_version == 2 && version->minor_version >= 1));
    }
    m_hasXkb = xkb_x11_setup_xkb_extension(
                   m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                   XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &m_xkbEvent, nullptr) == 1;
    if (m_hasXkb) {
        // A held V then arrives as repeated presses, not as release and press pairs.
        const XcbReply<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
            m_connection,
            xcb_xkb_per_client_flags(m_connection, XCB_XKB_ID_USE_CORE_KBD,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
            nullptr));
        if (const auto keyboard = X11Keyboard::read(m_connection))
            m_keyboard = *keyboard;
        else
            m_hasXkb = false;
    }
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

X11Input::~X11Input()
{
    remove();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11Input::install(Client client)
{
    if (m_thread)
        return true;
    if (xcb_connection_has_error(m_connection) || m_wakeFd < 0 || !m_hasXkb || !m_hasXInput2) {
        qCWarning(lcQuickPaste)
            << "Quick paste cannot watch the keyboard: the display lacks XKB or XInput 2.";
        return false;
    }
    m_client = std::move(client);
    {
        QMutexLocker locker(&m_mutex);
        if (!grabChord())
            return false;
    }
    selectEvents(true);
    xcb_flush(m_connection);
    m_stop = false;
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("app.clipwell.input"));
    m_thread->start(QThread::TimeCriticalPriority);
    m_watchdog.reset(QThread::create([this] { watch(); }));
    m_watchdog->setObjectName(QStringLiteral("app.clipwell.input.watchdog"));
    m_watchdog->start();
    return true;
}

void X11Input::remove()
{
    if (!m_thread)
        return;
    m_stop = true;
    wake();
    {
        QMutexLocker watch(&m_watchMutex);
        m_watchCondition.wakeAll();
    }
    m_thread->wait();
    m_watchdog->wait();
    m_thread.reset();
    m_watchdog.reset();
    QMutexLocker locker(&m_mutex);
    if (m_grabbed)
        releaseKeyboard(false);
    ungrabChord();
    selectEvents(false);
    xcb_flush(m_connection);
    m_client = {};
    m_down.clear();
    m_passiveKey = 0;
}

void X11Input::enable()
{
    // The passive grab outlives a lost keyboard grab; it is only put back if the keyboard changed.
    m_reenable = true;
    wake();
}

void X11Input::chordEnded()
{
    QMutexLocker locker(&m_mutex);
    if (!m_grabbed || (m_client.chordActive && m_client.chordActive()))
        return;
    releaseKeyboard(false);
    // The server has let go of the keyboard once this answers.
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

bool X11Input::isSecureEventInputEnabled() const
{
    // On the input thread, and while a chord holds the keyboard, the last grab tells. Otherwise
    // someone may have taken the keyboard since (a password prompt before a paste): try to take it
    // for a moment.
    if (!m_thread || QThread::currentThread() == m_thread.get())
        return m_secure.load();
    QMutexLocker locker(&m_mutex);
    if (m_grabbed || m_passiveKey)
        return m_secure.load();
    const XcbReply<xcb_grab_keyboard_reply_t> reply(
        xcb_grab_keyboard_reply(m_connection,
                                xcb_grab_keyboard(m_connection, 0, m_root, XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr));
    if (!reply)
        return m_secure.load();
    if (reply->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        return false;
    }
    return reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED || reply->status == XCB_GRAB_STATUS_FROZEN;
}

quint64 X11Input::currentModifierFlags() const
{
    if (xcb_connection_has_error(m_connection))
        return 0;
    const XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr));
    QMutexLocker locker(&m_mutex);
    return pointer ? m_keyboard.flags(pointer->mask) : 0;
}

bool X11Input::canPostPaste(PasteShortcut shortcut) const
{
    QMutexLocker locker(&m_mutex);
    return m_hasXTest && !xcb_connection_has_error(m_connection) && !m_keyboard.keysOf(shortcut).isEmpty();
}

bool X11Input::pasteKeysAreUp(PasteShortcut shortcut) const
{
    QMutexLocker locker(&m_mutex);
    const QList<xcb_keycode_t> keys = m_keyboard.keysOf(shortcut);
    const XcbReply<xcb_query_keymap_reply_t> keymap(
        xcb_query_keymap_reply(m_connection, xcb_query_keymap(m_connection), nullptr));
    if (!keymap || keys.isEmpty())
        return false;
    return std::none_of(keys.cbegin(), keys.cend(),
                        [&keymap](xcb_keycode_t key) { return keymap->keys[key / 8] & (1 << (key % 8)); });
}

bool X11Input::postPaste(PasteShortcut shortcut)
{
    QMutexLocker locker(&m_mutex);
    // The server drops a press of a key that is already down: the paste would never arrive.
    if (!canPostPaste(shortcut) || !pasteKeysAreUp(shortcut))
        return false;
    if (m_grabbed)
        releaseKeyboard(false);
    const QList<xcb_keycode_t> keys = m_keyboard.keysOf(shortcut);
    // Raw events of these keys come back to us: they are ours only in this order and for a moment,
    // since other tools type through the same XTEST device.
    const Clock::time_point expires = Clock::now() + std::chrono::milliseconds(200);
    m_ownKeys.clear();
    for (const xcb_keycode_t key : keys)
        m_ownKeys.push_back({true, key, expires});
    for (auto key = keys.crbegin(); key != keys.crend(); ++key)
        m_ownKeys.push_back({false, *key, expires});
    for (const OwnKey& key : m_ownKeys) {
        xcb_test_fake_input(m_connection, key.press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, key.key,
                            XCB_CURRENT_TIME, m_root, 0, 0, 0);
    }
    const XcbReply<xcb_get_input_focus_reply_t> done(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return bool(done);
}

void X11Input::selectEvents(bool on)
{
    // Our own masks on the root window; Qt's connection keeps its own.
    const uint32_t rootMask = on ? XCB_EVENT_MASK_FOCUS_CHANGE : 0;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &rootMask);
    struct {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           on ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE |
                         XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS)
              : 0u};
    xcb_input_xi_select_events(m_connection, m_root, 1, &mask.head);
    const uint16_t all = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    xcb_xkb_select_events_details_t details{};
    details.affectState = XCB_XKB_STATE_PART_GROUP_STATE;
    details.stateDetails = on ? XCB_XKB_STATE_PART_GROUP_STATE : 0;
    xcb_xkb_select_events_aux(m_connection, XCB_XKB_ID_USE_CORE_KBD, all | XCB_XKB_EVENT_TYPE_STATE_NOTIFY,
                              on ? 0 : all, on ? all : 0, 0xff, on ? 0xff : 0, &details);
}

bool X11Input::grabChord()
{
    const xcb_keycode_t key = m_keyboard.forwardKey;
    const uint16_t super = m_keyboard.superMask;
    if (!key || !super) {
        qCWarning(lcQuickPaste) << "Quick paste cannot find"
                                << (key ? "the Super modifier" : "a key typing v") << "on this keyboard.";
        return false;
    }
    const uint16_t chord = XCB_MOD_MASK_SHIFT | super;
    const uint16_t numLock = m_keyboard.numLockMask;
    std::array<uint16_t, 4> locks{0, XCB_MOD_MASK_LOCK, numLock, uint16_t(XCB_MOD_MASK_LOCK | numLock)};
    const int combinations = numLock ? 4 : 2;
    std::array<xcb_void_cookie_t, 4> cookies{};
    for (int i = 0; i < combinations; ++i) {
        cookies[i] = xcb_grab_key_checked(m_connection, 0, m_root, chord | locks[i], key, XCB_GRAB_MODE_ASYNC,
                                          XCB_GRAB_MODE_SYNC);
    }
    bool granted = true;
    for (int i = 0; i < combinations; ++i) {
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookies[i])) {
            qCWarning(lcQuickPaste).noquote()
                << QStringLiteral("Super+Shift+V with %1 is already taken by another program")
                       .arg(combination(locks[i], numLock));
            free(error);
            granted = false;
        }
    }
    if (!granted) {
        for (int i = 0; i < combinations; ++i)
            xcb_ungrab_key(m_connection, key, m_root, chord | locks[i]);
        xcb_flush(m_connection);
        return false;
    }
    m_grabbedKey = key;
    m_grabbedModifiers = chord;
    return true;
}

void X11Input::ungrabChord()
{
    if (!m_grabbedKey)
        return;
    const uint16_t numLock = m_keyboard.numLockMask;
    for (const uint16_t locks :
         {uint16_t(0), uint16_t(XCB_MOD_MASK_LOCK), numLock, uint16_t(XCB_MOD_MASK_LOCK | numLock)})
        xcb_ungrab_key(m_connection, m_grabbedKey, m_root, m_grabbedModifiers | locks);
    m_grabbedKey = 0;
}

void X11Input::refreshKeyboard()
{
    const std::optional<X11Keyboard> keyboard = X11Keyboard::read(m_connection);
    if (!keyboard)
        return;
    QMutexLocker locker(&m_mutex);
    const bool moved = keyboard->forwardKey != m_keyboard.forwardKey ||
                       keyboard->superMask != m_keyboard.superMask ||
                       keyboard->numLockMask != m_keyboard.numLockMask;
    if (!moved && m_grabbedKey) {
        m_keyboard = *keyboard;
        return;
    }
    const bool held = m_grabbedKey != 0;
    ungrabChord();
    m_keyboard = *keyboard;
    const bool holds = grabChord();
    if (!holds)
        qCWarning(lcQuickPaste) << "Quick paste lost its shortcut after the keyboard layout changed.";
    xcb_flush(m_connection);
    if (holds != held && m_client.available)
        m_client.available(holds);
}

void X11Input::wake()
{
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    }
}

void X11Input::run()
{
    while (!m_stop) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection))
            dispatch(XcbEvent(raw));
        if (m_reenable.exchange(false))
            refreshKeyboard();
        xcb_flush(m_connection);
        if (xcb_connection_has_error(m_connection)) {
            qCWarning(lcQuickPaste) << "Lost the connection to the X display; quick paste no longer works.";
            if (m_client.available)
                m_client.available(false);
            return;
        }
        std::array<pollfd, 2> fds{
            {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wakeFd, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) > 0 && (fds[1].revents & POLLIN)) {
            uint64_t value = 0;
            [[maybe_unused]] const ssize_t drained = ::read(m_wakeFd, &value, sizeof value);
        }
    }
}

void X11Input::dispatch(const XcbEvent& event)
{
    const uint8_t type = event.type();
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        handleKey(event.as<xcb_key_press_event_t>(), type == XCB_KEY_PRESS);
    } else if (type == XCB_GE_GENERIC) {
        handleRaw(event);
    } else if (type == XCB_FOCUS_OUT) {
        handleFocusOut(event);
    } else if (type == XCB_MAPPING_NOTIFY) {
        if (event.as<xcb_mapping_notify_event_t>()->request != XCB_MAPPING_POINTER)
            refreshKeyboard();
    } else if (m_xkbEvent && type == m_xkbEvent) {
        // Every XKB event names its kind in the second byte.
        const uint8_t kind = event.event->pad0;
        if (kind == XCB_XKB_NEW_KEYBOARD_NOTIFY || kind == XCB_XKB_MAP_NOTIFY ||
            (kind == XCB_XKB_STATE_NOTIFY &&
             (event.as<xcb_xkb_state_notify_event_t>()->changed & XCB_XKB_STATE_PART_GROUP_STATE)))
            refreshKeyboard();
    }
}

void X11Input::beginDecision()
{
    QMutexLocker watch(&m_watchMutex);
    ++m_decision;
    m_deciding = true;
    m_decisionStart = Clock::now();
    m_watchCondition.wakeAll();
}

bool X11Input::endDecision()
{
    QMutexLocker watch(&m_watchMutex);
    m_deciding = false;
    return !std::exchange(m_timedOut, false);
}

void X11Input::watch()
{
    QMutexLocker watch(&m_watchMutex);
    while (!m_stop) {
        if (!m_deciding) {
            m_watchCondition.wait(&m_watchMutex);
            continue;
        }
        const quint64 decision = m_decision;
        const Clock::time_point deadline = m_decisionStart + decisionTimeout;
        while (!m_stop && m_deciding && m_decision == decision && Clock::now() < deadline)
            m_watchCondition.wait(&m_watchMutex, QDeadlineTimer(deadline - Clock::now()));
        if (m_stop || !m_deciding || m_decision != decision)
            continue;
        // Nobody decided in time: every keyboard is frozen, so the event goes where it would have
        // gone without us, and the grab goes. The connection may be used from any thread.
        m_timedOut = true;
        xcb_allow_events(m_connection, XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
        xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        while (!m_stop && m_deciding && m_decision == decision)
            m_watchCondition.wait(&m_watchMutex);
    }
}

void X11Input::reportLost(TapEvent::Type type)
{
    TapEvent event;
    event.type = type;
    if (m_client.handle)
        m_client.handle(event);
}

void X11Input::releaseKeyboard(bool replay)
{
    m_grabbed = false;
    // Replaying hands the event to the focused window as if we had never seen it, and ends the grab.
    if (replay)
        xcb_allow_events(m_connection, XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
    xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
}

void X11Input::handleKey(const xcb_key_press_event_t* event, bool press)
{
    QMutexLocker locker(&m_mutex);
    const xcb_keycode_t key = event->detail;
    const bool repeat = press && m_down.contains(key);
    if (press)
        m_down.insert(key);
    else
        m_down.remove(key);

    TapEvent record;
    record.location = QPointF(event->root_x, event->root_y);
    if (m_keyboard.isModifier(key)) {
        // X gives the state before the event; the monitor wants it after.
        uint16_t state = event->state;
        const uint8_t bits = m_keyboard.modifierBits[key];
        if (press) {
            state |= bits;
        } else {
            state &= uint16_t(~bits);
            // Another key on the same modifier (the other Shift) may still hold it.
            const XcbReply<xcb_query_keymap_reply_t> keymap(
                xcb_query_keymap_reply(m_connection, xcb_query_keymap(m_connection), nullptr));
            for (int other = 8; keymap && other < 256; ++other) {
                if (other != key && (m_keyboard.modifierBits[other] & bits) &&
                    (keymap->keys[other / 8] & (1 << (other % 8))))
                    state |= m_keyboard.modifierBits[other] & bits;
            }
        }
        record.type = TapEvent::flagsChanged;
        record.flags = m_keyboard.flags(state);
    } else {
        record.type = press ? TapEvent::keyDown : TapEvent::keyUp;
        record.keyCode = m_keyboard.tapKeyCode(key);
        record.autorepeat = repeat;
        record.flags = m_keyboard.flags(event->state);
    }

    const bool underPassiveGrab = !m_grabbed;
    if (underPassiveGrab && press && key == m_grabbedKey) {
        // Our passive grab fired, so nobody else holds the keyboard.
        m_secure = false;
        m_passiveKey = key;
    } else if (!press && key == m_passiveKey) {
        m_passiveKey = 0;
    }

    beginDecision();
    const bool swallowed = m_client.handle(record);
    const bool active = m_client.chordActive();
    if (!endDecision()) {
        m_grabbed = false;
        m_passiveKey = 0;
        reportLost(TapEvent::tapDisabledByTimeout);
        return;
    }

    if (underPassiveGrab) {
        if (swallowed && active && press) {
            const xcb_grab_keyboard_cookie_t cookie = xcb_grab_keyboard(
                m_connection, 0, m_root, event->time, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC);
            const XcbReply<xcb_grab_keyboard_reply_t> reply(
                xcb_grab_keyboard_reply(m_connection, cookie, nullptr));
            if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) {
                m_grabbed = true;
                m_grabSequence = uint16_t(cookie.sequence);
                m_passiveKey = 0;
                xcb_allow_events(m_connection, XCB_ALLOW_SYNC_KEYBOARD, XCB_CURRENT_TIME);
                xcb_flush(m_connection);
                return;
            }
            // Someone else holds the keyboard: the key goes on, and no chord starts.
            m_secure = true;
            m_passiveKey = 0;
            xcb_allow_events(m_connection, XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
            xcb_flush(m_connection);
            locker.unlock();
            m_client.cancel();
            return;
        }
        // A replayed key is the focused window's from now on: its release comes to us only raw.
        if (!swallowed)
            m_passiveKey = 0;
        xcb_allow_events(m_connection, swallowed ? XCB_ALLOW_SYNC_KEYBOARD : XCB_ALLOW_REPLAY_KEYBOARD,
                         XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        return;
    }
    if (active) {
        // Swallowed, or passed but part of the chord (a modifier going up): not delivered either way.
        xcb_allow_events(m_connection, XCB_ALLOW_SYNC_KEYBOARD, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        return;
    }
    releaseKeyboard(!swallowed && press);
}

bool X11Input::isOwn(bool press, xcb_keycode_t key)
{
    const Clock::time_point now = Clock::now();
    while (!m_ownKeys.empty() && m_ownKeys.front().expires < now)
        m_ownKeys.pop_front();
    if (m_ownKeys.empty() || m_ownKeys.front().press != press || m_ownKeys.front().key != key)
        return false;
    m_ownKeys.pop_front();
    return true;
}

void X11Input::handleRaw(const XcbEvent& event)
{
    const auto* generic = event.as<xcb_ge_generic_event_t>();
    if (generic->extension != m_xinputOpcode)
        return;
    QMutexLocker locker(&m_mutex);
    TapEvent record;
    if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS || generic->event_type == XCB_INPUT_RAW_KEY_RELEASE) {
        const bool press = generic->event_type == XCB_INPUT_RAW_KEY_PRESS;
        const auto key = xcb_keycode_t(event.as<xcb_input_raw_key_press_event_t>()->detail);
        const bool own = isOwn(press, key);
        // Only releases matter here: the grabs already show every press the chord cares about. While
        // the keyboard is grabbed, or the passive grab still holds this key, its core release follows.
        if (press || m_grabbed || key == m_passiveKey || m_keyboard.isModifier(key))
            return;
        m_down.remove(key);
        record.type = TapEvent::keyUp;
        record.keyCode = m_keyboard.tapKeyCode(key);
        record.userData = own ? TapEvent::pasteEventMarker : 0;
        m_client.handle(record);
        return;
    }
    if (generic->event_type != XCB_INPUT_RAW_BUTTON_PRESS)
        return;
    const uint32_t button = event.as<xcb_input_raw_button_press_event_t>()->detail;
    // Raw events carry no position: ask where the pointer is, in the server's own pixels.
    const XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr));
    if (pointer) {
        record.location = QPointF(pointer->root_x, pointer->root_y);
        record.flags = m_keyboard.flags(pointer->mask);
    }
    if (button >= 4 && button <= 7) {
        record.type = TapEvent::scrollWheel;
        if (button <= 5)
            record.lineDeltaAxis1 = button == 4 ? 1 : -1;
        else
            record.lineDeltaAxis2 = button == 6 ? 1 : -1;
    } else {
        record.type = button == 1 ? TapEvent::leftMouseDown
                                  : (button == 3 ? TapEvent::rightMouseDown : TapEvent::otherMouseDown);
    }
    m_client.handle(record);
    if (m_grabbed && !m_client.chordActive())
        releaseKeyboard(false);
}

void X11Input::handleFocusOut(const XcbEvent& event)
{
    const auto* focus = event.as<xcb_focus_out_event_t>();
    QMutexLocker locker(&m_mutex);
    // Our own grabs and releases report themselves too; only a release we did not ask for counts.
    if (focus->mode != XCB_NOTIFY_MODE_UNGRAB || !m_grabbed || !atOrAfter(focus->sequence, m_grabSequence))
        return;
    m_grabbed = false;
    reportLost(TapEvent::tapDisabledByUserInput);
}
