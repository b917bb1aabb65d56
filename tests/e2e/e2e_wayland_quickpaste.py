#!/usr/bin/env python3
"""Quick paste with the real Clipwell as a native client of a headless sway, typed at by wtype, or of
a headless KWin, typed at by our own fake-input typer.

    e2e_wayland_quickpaste.py CLIPWELL TEST_WAYLAND_OWNER TEST_TEXT_FIELD SCREENSHOT_DIR [kwin TYPER]

An image and three texts are copied from other clients, with our own Qt text field (on Qt's wayland
platform) in front. Each chord is one typer run, which holds Super+Shift and lets them go when it
exits. V V pastes the second entry into the field, which then leads the saved history; V Z wraps to
the oldest, the image; Escape and another key paste nothing; no V, Z or Escape of a chord reaches the
field. On sway, foot running cat gets the entry through Control+Shift+V, and screenshots of the popup go
to SCREENSHOT_DIR, light and dark, in English and Traditional Chinese; with quick paste off, and once
Clipwell has quit, sway binds the chord no more. With quick paste off no popup appears, and on KWin the
chord's V reaches the field. On KWin the copies name the field as their source, and KWin grants its
fake input and window list through desktop entries: a private one for the typer, and one for Clipwell
unless it is the installed binary (CLIPWELL_E2E_BINARY), whose own entry must grant them.
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_clipwell import CLIPWELL, Session, answers_on_its_socket, fail, output_of, png, wait_for  # noqa: E402
import e2e_quickpaste  # noqa: E402
import wayland_session  # noqa: E402
from wayland_session import until  # noqa: E402

OWNER, FIELD, SHOTS = sys.argv[2], sys.argv[3], sys.argv[4]
COMPOSITOR = sys.argv[5] if len(sys.argv) > 5 else "sway"
KWIN = COMPOSITOR == "kwin"
TYPER = [sys.argv[6]] if KWIN else ["wtype"]
APP_ID = "org.clipwell.TestField"
TEXT = "text/plain;charset=utf-8"
SHOWN = "Showing quick paste with"
STARTED = "Session started with"


class Field(e2e_quickpaste.Field):
    """Our text field in front, on Qt's wayland platform: what it holds and the keys that reached it."""

    def __init__(self, compositor, env):
        self.process = subprocess.Popen([FIELD, "--app-id", APP_ID], env=dict(env, QT_QPA_PLATFORM="wayland"),
                                        stdout=subprocess.PIPE, text=True)
        self.lines = []
        os.set_blocking(self.process.stdout.fileno(), False)
        if KWIN:
            # KWin has no tree to ask: the field says when it has the keyboard.
            wait_for(lambda: "ready" in self.read() and "focus in" in self.lines, "the test field in front")
        else:
            wait_for(lambda: (compositor.focused() or {}).get("app_id") == APP_ID and "ready" in self.read(),
                     "the test field in front")

    def clear(self):
        wtype("-M", "ctrl", "-k", "a", "-m", "ctrl", "-k", "BackSpace")
        wait_for(lambda: "Backspace 0" in self.keys() and self.text() == "", "the field to be emptied")
        self.lines.clear()

    def close(self):
        self.process.kill()
        self.process.wait()


def wtype(*arguments, env=None):
    subprocess.run([*TYPER, *arguments], env=env or ENV, check=True, timeout=30)


def chord(*keys, pause=200):
    """Super+Shift held through the taps of keys, then let go: one wtype run. Keys typed before the
    popup holds the keyboard go to the window in front, so the first V leaves it time to appear: each
    wtype run hands the compositor a new keymap, which every client compiles, slowly under ASan."""
    arguments = ["-M", "logo", "-M", "shift"]
    for number, key in enumerate(keys):
        arguments += ["-k", key, "-s", str(pause if number else max(pause, 1500))]
    return [*TYPER, *arguments, "-m", "shift", "-m", "logo"]


def type_chord(*keys):
    subprocess.run(chord(*keys), env=ENV, check=True, timeout=30)


def log_count(clipwell, line):
    return output_of(clipwell).count(line)


def offered_types():
    found = subprocess.run(["wl-paste", "--list-types"], env=ENV, capture_output=True, text=True, timeout=5)
    return found.stdout.split()


def copy(session, root, offers, count):
    """Another client owns the clipboard until Clipwell has saved the copy."""
    arguments = []
    for number, (mime, value) in enumerate(offers):
        path = os.path.join(root, "offer-%d-%d" % (count, number))
        with open(path, "wb") as file:
            file.write(value if isinstance(value, bytes) else value.encode())
        arguments += [mime, "@" + path]
    owner = subprocess.Popen([OWNER, "--log", os.path.join(root, "owner-%d.log" % count), *arguments], env=ENV,
                             stdout=subprocess.PIPE, text=True)
    if owner.stdout.readline().strip() != "ready":
        fail("the clipboard owner did not start")
    wait_for(lambda: len(saved(session)) == count, "copy %d in the saved history" % count)
    return owner


def saved(session):
    try:
        return session.archived_entries()
    except (OSError, ValueError, KeyError):
        return []


def preferences(session, **values):
    config = os.path.join(session.env["XDG_CONFIG_HOME"], "Clipwell")
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "Clipwell.conf"), "w") as file:
        file.write("[General]\n" + "".join("%s=%s\n" % item for item in values.items()))


def launch(session, **values):
    preferences(session, **values)
    clipwell = session.launch("--background")
    wait_for(lambda: answers_on_its_socket(session), "Clipwell to run")
    return clipwell


def quit(session, clipwell):
    session.stop(clipwell, 15)


def check_pastes(session, compositor, clipwell, field):
    type_chord("v", "v")
    if not until(lambda: field.text() == "second entry", 30):
        fail("the field holds %r, not the second entry; it saw %r" % (field.text(), field.keys()))
    wait_for(lambda: saved(session)[0].get("title") == "second entry", "the pasted entry first in the history")

    # Candidates now: second, third, first, the image; Z from the first wraps to the image.
    field.clear()
    type_chord("v", "z")
    wait_for(lambda: "image/png" in offered_types(), "the image on the clipboard")

    field.clear()
    shown = log_count(clipwell, SHOWN)
    type_chord("v", "Escape")
    type_chord("v", "a")
    wait_for(lambda: log_count(clipwell, SHOWN) >= shown + 2, "both popups")
    time.sleep(0.5)
    if field.text():
        fail("a cancelled chord pasted %r" % field.text())
    # The paste itself is a V with Control alone (0x04000000).
    seen = [key for key in field.keys() if key != "V %d" % 0x04000000]
    if KWIN:
        # Fake input presses Super and Shift as keys, which the field sees before the popup holds the
        # keyboard, as it would a real keyboard's.
        seen = [key for key in seen if key.split(" ")[0] in ("V", "Z", "Escape", "A")]
    if seen:
        fail("keys of a chord reached the field: %r" % seen)


def check_foot(root, compositor):
    out = os.path.join(root, "foot.out")
    foot = subprocess.Popen(["foot", "sh", "-c", "stty -icanon -echo; : > '%s'; exec cat >> '%s'" % (out, out)],
                            env=ENV, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for(lambda: os.path.exists(out) and (compositor.focused() or {}).get("app_id") == "foot",
                 "foot running cat in front")
        # The image leads the history now; the second entry follows it.
        type_chord("v", "v")
        wait_for(lambda: open(out, "rb").read() == b"second entry",
                 "the entry in foot, got %r" % open(out, "rb").read())
    finally:
        foot.kill()
        foot.wait()


def screenshot(session, name, **values):
    clipwell = launch(session, quickPasteEnabled="true", **values)
    try:
        # Under wtype, sway hands the first popup of a Clipwell just started the keyboard with no modifier
        # down, which commits it at once; a first chord settles that.
        type_chord("v", "Escape")
        shown = log_count(clipwell, SHOWN)
        typing = subprocess.Popen(chord("v", "v", pause=1500), env=ENV)
        if not until(lambda: log_count(clipwell, SHOWN) >= shown + 2, 30):
            fail("no popup for %s:\n%s" % (name, output_of(clipwell)[-3000:]))
        time.sleep(0.6)
        subprocess.run(["grim", os.path.join(SHOTS, name)], env=ENV, check=True, timeout=30)
        typing.wait(timeout=30)
    finally:
        quit(session, clipwell)


def check_unbound(compositor, what):
    """sway binds the chord no more: removing the binding finds none."""
    answer = compositor.message("unbindsym Mod4+Shift+v") or [{}]
    if answer[0].get("success", True):
        fail("sway still bound the chord " + what)


def check_sway_unbound_and_screenshots(session, compositor):
    check_unbound(compositor, "once Clipwell has quit")
    clipwell = launch(session, quickPasteEnabled="false")
    type_chord("v")
    if log_count(clipwell, STARTED):
        fail("a popup appeared with quick paste off")
    check_unbound(compositor, "with quick paste off")
    quit(session, clipwell)
    print("sway: with quick paste off and after quitting, the chord is not bound and no popup shows")

    for theme in ("light", "dark"):
        for language, tag in (("en", "en"), ("zh-Hant", "zh_Hant")):
            screenshot(session, "wayland-quickpaste-%s-%s.png" % (theme, tag), appTheme=theme, appLanguage=language)


def check_off_on_kwin(session, field):
    """With quick paste off the chord is no shortcut: its V reaches the field and no popup shows."""
    clipwell = launch(session, quickPasteEnabled="false")
    try:
        field.lines.clear()
        type_chord("v")
        wait_for(lambda: any(key.startswith("V ") for key in field.keys()), "the chord's V in the field")
        if log_count(clipwell, STARTED):
            fail("a popup appeared with quick paste off")
    finally:
        quit(session, clipwell)


def main():
    global ENV
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(SHOTS, exist_ok=True)
        # The installed Clipwell must be granted by its own desktop entry.
        grants = TYPER if os.environ.get("CLIPWELL_E2E_BINARY") else TYPER + [CLIPWELL]
        with wayland_session.start(COMPOSITOR, root, grants=grants if KWIN else ()) as compositor:
            # KWin's fake input is for granted programs only, which this script is not.
            wanted = ["zwlr_layer_shell_v1"] + ([] if KWIN else ["zwp_virtual_keyboard_manager_v1"])
            if any(name not in compositor.globals for name in wanted):
                wayland_session.skip("headless %s offers no %s" % (COMPOSITOR, " or ".join(wanted)))
            session = Session(os.path.join(root, "client"))
            session.env = compositor.client_env(session.env)
            session.env["QT_LOGGING_RULES"] = "app.clipwell.mac.QuickPaste.debug=true"
            bus = None
            if not KWIN:
                # On KWin its own bus, where its global shortcuts are, is in the environment already.
                session.env["SWAYSOCK"] = compositor.ipc
                bus = wayland_session.session_bus(session.env)
            if "LSAN_OPTIONS" in session.env:
                # Once foot has come and gone after several chords, ten wl_proxy objects are left at exit,
                # allocated inside libwayland-client with no stack above it to tell whose they are; the
                # tests of Clipwell's own Wayland connections check their leaks with whole stacks.
                session.env["LSAN_OPTIONS"] = "suppressions=%s:print_suppressions=0" % os.path.join(
                    os.path.dirname(os.path.abspath(__file__)), "wayland-quickpaste.supp")
            ENV = session.env
            field = owner = clipwell = None
            try:
                field = Field(compositor, ENV)
                clipwell = launch(session, quickPasteEnabled="true")
                offers = [[("image/png", png(64, 48))]] + [[(TEXT, text)] for text in
                                                          ("first entry", "second entry", "third entry")]
                for count, offer in enumerate(offers, 1):
                    if owner:
                        owner.kill()
                        owner.wait()
                    owner = copy(session, os.path.join(root, "client"), offer, count)
                sources = {entry.get("sourceBundleIdentifier") for entry in saved(session)}
                if KWIN and sources != {APP_ID}:
                    fail("copies do not name the field in front as their source: %r" % sources)
                check_pastes(session, compositor, clipwell, field)
                print("%s: V V, V Z, Escape and another key behave; no chord key reached the field" % COMPOSITOR)
                if KWIN:
                    quit(session, clipwell)
                    clipwell = None
                    check_off_on_kwin(session, field)
                    print("kwin: with quick paste off the chord's keys reach the field and no popup shows")
                else:
                    check_foot(os.path.join(root, "client"), compositor)
                    print("sway: foot got the entry through Control+Shift+V")
                    quit(session, clipwell)
                    clipwell = None
                    check_sway_unbound_and_screenshots(session, compositor)
            except SystemExit:
                if clipwell:
                    print("Clipwell's output:\n" + output_of(clipwell)[-6000:], file=sys.stderr)
                raise
            finally:
                if owner:
                    owner.kill()
                    owner.wait()
                if field:
                    field.close()
                session.close()
                if bus:
                    bus.terminate()
                    bus.wait()
    print("PASS")


if __name__ == "__main__":
    main()
