// Quick paste with the real binary on the sway in WAYLAND_DISPLAY and SWAYSOCK (scripts/bench starts a
// headless one), 200 entries of which 20 are images, and our text field in front: Super+Shift held and
// V pressed through a virtual keyboard of the bench's own to the popup taking the keyboard from the
// field, and the release to the pasted text arriving in the field.
#include "BenchFigures.h"
#include "BenchSession.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <cstring>
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {

// A keyboard of its own on the compositor, with the "us" layout: each key is sent and flushed at once.
class VirtualKeyboard {
public:
    VirtualKeyboard()
    {
        m_display = wl_display_connect(nullptr);
        if (!m_display)
            return;
        wl_registry* registry = wl_display_get_registry(m_display);
        static const wl_registry_listener listener{
            [](void* data, wl_registry* announcing, uint32_t name, const char* interface, uint32_t) {
                auto* self = static_cast<VirtualKeyboard*>(data);
                if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
                    self->m_seat =
                        static_cast<wl_seat*>(wl_registry_bind(announcing, name, &wl_seat_interface, 1));
                else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
                    self->m_manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
                        wl_registry_bind(announcing, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
            },
            [](void*, wl_registry*, uint32_t) {}};
        wl_registry_add_listener(registry, &listener, this);
        wl_display_roundtrip(m_display);
        wl_registry_destroy(registry);
        if (!m_seat || !m_manager)
            return;
        m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_seat);

        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        const size_t size = std::strlen(text) + 1;
        const int fd = memfd_create("bench-keymap", MFD_CLOEXEC);
        if (fd >= 0 && ftruncate(fd, off_t(size)) == 0 && write(fd, text, size) == ssize_t(size)) {
            zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
            m_super = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_LOGO);
            m_shift = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
            m_control = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
        }
        if (fd >= 0)
            close(fd);
        std::free(text);
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
        wl_display_roundtrip(m_display);
    }

    ~VirtualKeyboard()
    {
        if (m_keyboard)
            zwp_virtual_keyboard_v1_destroy(m_keyboard);
        if (m_manager)
            zwp_virtual_keyboard_manager_v1_destroy(m_manager);
        if (m_seat)
            wl_seat_destroy(m_seat);
        if (m_display)
            wl_display_disconnect(m_display);
    }

    bool canType() const { return m_keyboard && m_super; }

    void modifiers(uint32_t mask)
    {
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, mask, 0, 0, 0);
        wl_display_flush(m_display);
    }

    void key(uint32_t code, bool press)
    {
        zwp_virtual_keyboard_v1_key(m_keyboard, ++m_time, code,
                                    press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        wl_display_flush(m_display);
    }

    void tap(uint32_t code, uint32_t mask = 0)
    {
        modifiers(mask);
        key(code, true);
        key(code, false);
        modifiers(0);
    }

    uint32_t m_super = 0;
    uint32_t m_shift = 0;
    uint32_t m_control = 0;

private:
    wl_display* m_display = nullptr;
    wl_seat* m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    uint32_t m_time = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("SWAYSOCK")) {
        out << "quick paste on sway: skipped (no WAYLAND_DISPLAY or SWAYSOCK)\n";
        return 0;
    }
    VirtualKeyboard keyboard;
    if (!keyboard.canType()) {
        out << "quick paste on sway: skipped (the compositor offers no virtual keyboard)\n";
        return 0;
    }
    const Home home(mixedHistory());
    home.enableQuickPaste();
    QProcessEnvironment environment = home.environment();
    environment.remove(QStringLiteral("DISPLAY"));
    QDir().mkpath(environment.value(QStringLiteral("XDG_RUNTIME_DIR")));
    QFile::setPermissions(environment.value(QStringLiteral("XDG_RUNTIME_DIR")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess field;
    QProcessEnvironment fieldEnvironment = environment;
    fieldEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    field.setProcessEnvironment(fieldEnvironment);
    field.start(QStringLiteral(TEST_TEXT_FIELD), {QStringLiteral("--app-id"), QStringLiteral("bench.field")});
    if (!waitForLine(field, "ready", 10000)) {
        out << "quick paste on sway: the text field did not come forward\n";
        return 1;
    }
    QProcess clipwell;
    clipwell.setProcessEnvironment(environment);
    clipwell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    clipwell.start(QStringLiteral(CLIPWELL_BINARY), {QStringLiteral("--background")});
    // The history has loaded and the chord is bound.
    QThread::msleep(3000);

    QList<double> toPopup;
    QList<double> toText;
    for (int run = 0; run < 15; ++run) {
        keyboard.modifiers(keyboard.m_super | keyboard.m_shift);
        QElapsedTimer timer;
        timer.start();
        keyboard.key(KEY_V, true);
        if (waitForLine(field, "focus out", 5000))
            toPopup << double(timer.nsecsElapsed()) / 1e6;
        keyboard.key(KEY_V, false);
        timer.restart();
        keyboard.modifiers(0);
        if (waitForLine(field, "text \"Entry", 5000))
            toText << double(timer.nsecsElapsed()) / 1e6;
        keyboard.tap(KEY_A, keyboard.m_control);
        keyboard.tap(KEY_BACKSPACE);
        waitForLine(field, "text \"\"", 5000);
    }
    out << QStringLiteral(
               "V pressed to popup holding the keyboard, 200 entries (20 images): median %1 ms over "
               "%2 runs (target 16)\n")
               .arg(toPopup.isEmpty() ? -1.0 : median(toPopup), 0, 'f', 1)
               .arg(toPopup.size());
    out << QStringLiteral(
               "chord released to text in the field: median %1 ms over %2 runs (target 100; 60 ms is "
               "the paste delay)\n")
               .arg(toText.isEmpty() ? -1.0 : median(toText), 0, 'f', 1)
               .arg(toText.size());
    field.kill();
    field.waitForFinished();
    clipwell.terminate();
    clipwell.waitForFinished(30000);
    return toPopup.isEmpty() || toText.isEmpty() ? 1 : 0;
}
