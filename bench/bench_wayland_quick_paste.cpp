// Quick paste with the real binary on the compositor in WAYLAND_DISPLAY (scripts/bench starts a headless
// sway and a headless KWin, which grants the bench and Clipwell its fake input), 200 entries of which 20
// are images, and our text field in front: Super+Shift held and V pressed through a keyboard of the
// bench's own to the popup taking the keyboard from the field, and the release to the pasted text
// arriving in the field.
#include "BenchFigures.h"
#include "BenchSession.h"
#include "fake-input-client-protocol.h"
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

// A keyboard of the bench's own, with the "us" layout, each key sent and flushed at once: a virtual
// keyboard where the compositor offers one (sway), KWin's fake input otherwise.
class Keyboard {
public:
    Keyboard()
    {
        m_display = wl_display_connect(nullptr);
        if (!m_display)
            return;
        wl_registry* registry = wl_display_get_registry(m_display);
        static const wl_registry_listener listener{
            [](void* data, wl_registry* announcing, uint32_t name, const char* interface, uint32_t version) {
                auto* self = static_cast<Keyboard*>(data);
                if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
                    self->m_seat =
                        static_cast<wl_seat*>(wl_registry_bind(announcing, name, &wl_seat_interface, 1));
                else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
                    self->m_manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
                        wl_registry_bind(announcing, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
                else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
                    self->m_fakeInput = static_cast<org_kde_kwin_fake_input*>(
                        wl_registry_bind(announcing, name, &org_kde_kwin_fake_input_interface, 4));
            },
            [](void*, wl_registry*, uint32_t) {}};
        wl_registry_add_listener(registry, &listener, this);
        wl_display_roundtrip(m_display);
        wl_registry_destroy(registry);
        if (m_seat && m_manager)
            setUpVirtualKeyboard();
        else if (m_fakeInput)
            org_kde_kwin_fake_input_authenticate(m_fakeInput, "bench", "typing the quick paste chord");
        wl_display_roundtrip(m_display);
    }

    ~Keyboard()
    {
        if (m_keyboard)
            zwp_virtual_keyboard_v1_destroy(m_keyboard);
        if (m_manager)
            zwp_virtual_keyboard_manager_v1_destroy(m_manager);
        if (m_fakeInput)
            org_kde_kwin_fake_input_destroy(m_fakeInput);
        if (m_seat)
            wl_seat_destroy(m_seat);
        if (m_display)
            wl_display_disconnect(m_display);
    }

    bool canType() const { return (m_keyboard && m_super) || m_fakeInput; }
    bool isFakeInput() const { return !m_keyboard && m_fakeInput; }

    void chord(bool down) { modifiers(down ? Super | Shift : 0); }

    void key(uint32_t code, bool press)
    {
        const uint32_t state = press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED;
        if (m_keyboard)
            zwp_virtual_keyboard_v1_key(m_keyboard, ++m_time, code, state);
        else
            org_kde_kwin_fake_input_keyboard_key(m_fakeInput, code, state);
        wl_display_flush(m_display);
    }

    void tap(uint32_t code, bool withControl = false)
    {
        modifiers(withControl ? Control : 0);
        key(code, true);
        key(code, false);
        modifiers(0);
    }

private:
    static constexpr uint32_t Super = 1;
    static constexpr uint32_t Shift = 2;
    static constexpr uint32_t Control = 4;

    void setUpVirtualKeyboard()
    {
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
    }

    // The virtual keyboard sends a mask; fake input presses and lets go of the modifier keys.
    void modifiers(uint32_t wanted)
    {
        if (m_keyboard) {
            const uint32_t mask = (wanted & Super ? m_super : 0) | (wanted & Shift ? m_shift : 0) |
                                  (wanted & Control ? m_control : 0);
            zwp_virtual_keyboard_v1_modifiers(m_keyboard, mask, 0, 0, 0);
            wl_display_flush(m_display);
            return;
        }
        for (const auto& [modifier, code] : {std::pair{Super, KEY_LEFTMETA}, std::pair{Shift, KEY_LEFTSHIFT},
                                             std::pair{Control, KEY_LEFTCTRL}}) {
            if ((wanted & modifier) != (m_down & modifier))
                key(uint32_t(code), wanted & modifier);
        }
        m_down = wanted;
    }

    wl_display* m_display = nullptr;
    wl_seat* m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    org_kde_kwin_fake_input* m_fakeInput = nullptr;
    uint32_t m_super = 0;
    uint32_t m_shift = 0;
    uint32_t m_control = 0;
    uint32_t m_down = 0;
    uint32_t m_time = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        out << "quick paste on Wayland: skipped (no WAYLAND_DISPLAY)\n";
        return 0;
    }
    Keyboard keyboard;
    const QString compositor = keyboard.isFakeInput() ? QStringLiteral("KWin") : QStringLiteral("sway");
    if (!keyboard.canType()) {
        out << "quick paste on Wayland: skipped (the compositor offers no virtual keyboard or fake input)\n";
        return 0;
    }
    out << "quick paste on " << compositor << ":\n";
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
        out << "quick paste: the text field did not come forward\n";
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
        keyboard.chord(true);
        QElapsedTimer timer;
        timer.start();
        keyboard.key(KEY_V, true);
        if (waitForLine(field, "focus out", 5000))
            toPopup << double(timer.nsecsElapsed()) / 1e6;
        keyboard.key(KEY_V, false);
        timer.restart();
        keyboard.chord(false);
        if (waitForLine(field, "text \"Entry", 5000))
            toText << double(timer.nsecsElapsed()) / 1e6;
        keyboard.tap(KEY_A, true);
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
