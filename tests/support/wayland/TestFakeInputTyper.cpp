// Types keys through KWin's fake input, for tests of what KWin does with keys that wtype cannot send
// there (KWin offers no virtual keyboard). Steps run in order; keys still down at the end are let go.
//   test_fake_input_typer [-M MOD] [-m MOD] [-k KEY] [-P KEY] [-p KEY] [-s MS]...
// -M/-m press/release a modifier (super or logo, shift, ctrl, alt), -k taps a key, -P/-p press/release it,
// -s sleeps. KEY is an xkb keysym name (v, Insert, Escape), found on a US keyboard.
#include "fake-input-client-protocol.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/input-event-codes.h>
#include <map>
#include <string>
#include <thread>
#include <vector>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {

org_kde_kwin_fake_input* fakeInput = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener registryListener{global, globalRemove};

// The evdev code of the key that types keysym name on a US keyboard; 0 when none does.
uint32_t keyCode(xkb_keymap* keymap, const char* name)
{
    static const std::map<std::string, uint32_t> modifiers{{"super", KEY_LEFTMETA},
                                                           {"logo", KEY_LEFTMETA},
                                                           {"shift", KEY_LEFTSHIFT},
                                                           {"ctrl", KEY_LEFTCTRL},
                                                           {"alt", KEY_LEFTALT}};
    if (const auto found = modifiers.find(name); found != modifiers.end())
        return found->second;
    const xkb_keysym_t keysym = xkb_keysym_from_name(name, XKB_KEYSYM_NO_FLAGS);
    for (xkb_keycode_t code = 8; keysym != XKB_KEY_NoSymbol && code <= xkb_keymap_max_keycode(keymap);
         ++code) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) == 1 && syms[0] == keysym)
            return code - 8;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap =
        context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (!keymap || !display || argc % 2 == 0) {
        std::fprintf(stderr, "test_fake_input_typer: %s\n",
                     argc % 2 == 0 ? "options come in pairs"
                     : keymap      ? "no Wayland compositor"
                                   : "no US keymap");
        return 2;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!fakeInput) {
        std::fprintf(stderr, "test_fake_input_typer: the compositor grants no fake input version 4\n");
        return 2;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "test_fake_input_typer", "Types keys for tests");
    std::vector<uint32_t> down;
    const auto send = [&](uint32_t code, bool pressed) {
        std::erase(down, code);
        if (pressed)
            down.push_back(code);
        org_kde_kwin_fake_input_keyboard_key(
            fakeInput, code, pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    };
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "-s") {
            wl_display_roundtrip(display);
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[i + 1])));
            continue;
        }
        const uint32_t code = keyCode(keymap, argv[i + 1]);
        if (code == 0 ||
            (option != "-M" && option != "-m" && option != "-k" && option != "-P" && option != "-p")) {
            std::fprintf(stderr, "test_fake_input_typer: cannot do %s %s\n", argv[i], argv[i + 1]);
            argc = 0;
            break;
        }
        if (option != "-m" && option != "-p")
            send(code, true);
        if (option != "-M" && option != "-P")
            send(code, false);
    }
    while (!down.empty())
        send(down.back(), false);
    const bool delivered = wl_display_roundtrip(display) >= 0;
    org_kde_kwin_fake_input_destroy(fakeInput);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return delivered && argc > 0 ? 0 : 2;
}
