#!/usr/bin/env python3
"""Quick paste with the real Clipwell on the X server in DISPLAY, a window manager and a text field of
our own in front, typed at through XTEST by xdotool.

    e2e_quickpaste.py CLIPWELL TEST_CLIPBOARD_OWNER TEST_TEXT_FIELD [SCREENSHOT_DIR]

An image and three texts are copied from other clients. Super+Shift held, V tapped twice and let go:
the field holds the second entry, the clipboard too, and it is first in the archive. V then Z wraps to
the oldest entry, the image, which the clipboard then offers as image/png. Escape and a click outside
paste nothing, and the field never sees Escape or a V of the chord. A row clicked with the chord
still held is pasted once Super and Shift are let go. A chord refused while Clipwell is in front
leaves quick paste working. xterm, which pastes the PRIMARY selection with Shift+Insert, gets the
entry instead of a ^V. On a display without XTEST the accessibility guide opens by itself on the first
launch; with XTEST it does not.
"""
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_clipwell import Session, clipboard_text, fail, png, start_window_manager, wait_for  # noqa: E402

FIELD = sys.argv[3]
SHOTS = sys.argv[4] if len(sys.argv) > 4 else None


class Field:
    def __init__(self, session):
        self.process = subprocess.Popen([FIELD], env=session.env, stdout=subprocess.PIPE, text=True)
        self.lines = []
        os.set_blocking(self.process.stdout.fileno(), False)
        wait_for(lambda: "ready" in self.read(), "the text field to come forward")

    def read(self):
        while True:
            line = self.process.stdout.readline()
            if not line:
                return self.lines
            self.lines.append(line.strip())

    def text(self):
        texts = [json.loads(line[5:]) for line in self.read() if line.startswith("text ")]
        return texts[-1] if texts else ""

    def keys(self):
        return [line[4:] for line in self.read() if line.startswith("key ")]

    def clear(self):
        xdotool("key", "ctrl+a", "BackSpace")
        wait_for(lambda: self.text() == "", "the field to be emptied")
        self.lines.clear()


def xdotool(*arguments):
    subprocess.run(["xdotool", *arguments], check=True, timeout=30)


def chord(*steps, shot=None):
    """Holds Super+Shift through the steps (keys to tap, or ("click", x, y) once the popup shows),
    then lets go."""
    xdotool("keydown", "super+shift")
    for step in steps:
        if isinstance(step, tuple):
            wait_for(lambda: windows_of_width(os.environ["DISPLAY"], 460), "the popup")
            xdotool("mousemove", str(step[1]), str(step[2]), "click", "1")
        else:
            xdotool("key", step)
    if shot:
        wait_for(lambda: windows_of_width(os.environ["DISPLAY"], 460), "the popup")
        subprocess.run(["import", "-window", "root", os.path.join(SHOTS, shot)], check=True, timeout=30)
    xdotool("keyup", "super+shift")


def targets():
    found = subprocess.run(["xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"], capture_output=True,
                           text=True, timeout=20)
    return found.stdout.split()


def activate(window):
    xdotool("windowactivate", "--sync", window)
    wait_for(lambda: subprocess.run(["xdotool", "getactivewindow"], capture_output=True,
                                    text=True).stdout.strip() == window, "window %s in front" % window)


def check_xterm(root, session):
    """xterm running cat pastes PRIMARY with Shift+Insert: it gets the entry, not the ^V of Control+V."""
    out = os.path.join(root, "xterm.out")
    xterm = subprocess.Popen(["xterm", "-e", "sh", "-c", "stty -icanon -echo; : > '%s'; exec cat >> '%s'"
                              % (out, out)], env=session.env)
    try:
        wait_for(lambda: os.path.exists(out), "xterm to run cat")
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--class", "XTerm"],
                               capture_output=True, text=True, timeout=30).stdout.split()
        activate(found[0])
        chord("v")
        wait_for(lambda: open(out, "rb").read() == b"third entry", "the entry in xterm, got %r"
                 % open(out, "rb").read())
        primary = subprocess.run(["xclip", "-selection", "primary", "-o"], capture_output=True, text=True,
                                 timeout=20).stdout
        if primary != "third entry":
            fail("PRIMARY holds %r" % primary)
    finally:
        xterm.kill()
        xterm.wait()


def windows_of_width(display, width):
    """Clipwell's visible windows of that width: 460 is the popup, 560 the accessibility guide."""
    env = dict(os.environ, DISPLAY=display)
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "^Clipwell$"], env=env,
                           capture_output=True, text=True).stdout.split()
    matching = []
    for window in found:
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=env,
                                  capture_output=True, text=True).stdout
        if "WIDTH=%d" % width in geometry.split():
            matching.append(window)
    return matching


def check_guide_on_cold_launch(root):
    """A private X server without XTEST: quick paste cannot work there, so the guide comes forward."""
    session = Session(os.path.join(root, "no-xtest"))
    server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-extension", "XTEST", "-nolisten", "tcp", "-noreset"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    display = ":" + server.stdout.readline().strip()
    clipwell = session.launch(DISPLAY=display)
    try:
        wait_for(lambda: windows_of_width(display, 560), "the guide on a display without XTEST")
    finally:
        clipwell.terminate()
        clipwell.wait(timeout=30)
        server.terminate()
        server.wait()


def main():
    with tempfile.TemporaryDirectory() as root:
        session = Session(root)
        config = os.path.join(session.env["XDG_CONFIG_HOME"], "Clipwell")
        os.makedirs(config)
        with open(os.path.join(config, "Clipwell.conf"), "w") as file:
            file.write("[General]\nquickPasteEnabled=true\n")
        window_manager = start_window_manager(session.env)
        clipwell = field = None
        try:
            clipwell = session.launch()
            wait_for(lambda: session.visible_windows(), "the history window")
            history = session.visible_windows()[0]
            session.copy("image/png", png(64, 48))
            for text in ("first entry", "second entry", "third entry"):
                session.copy("UTF8_STRING", text)
            # The guide is decided at start-up, long before four copies were recorded.
            if windows_of_width(os.environ["DISPLAY"], 560):
                fail("the guide opened although the display offers XTEST")
            field = Field(session)
            field_window = subprocess.run(["xdotool", "getactivewindow"], capture_output=True,
                                          text=True).stdout.strip()

            chord("v", "v", shot=SHOTS and "quickpaste-second.png")
            wait_for(lambda: field.text() == "second entry", "the second entry in the field")
            if clipboard_text(session) != "second entry":
                fail("the clipboard holds %r" % clipboard_text(session))
            wait_for(lambda: os.path.exists(session.archive) and session.archived()[0][1] == "second entry",
                     "the pasted entry first in the archive")

            # Candidates now: second, third, first, the image; Z from the first wraps to the image.
            field.clear()
            chord("v", "z")
            wait_for(lambda: "image/png" in targets(), "the image on the clipboard")

            field.clear()
            chord("v", "Escape")
            chord("v", ("click", 5, 5))
            wait_for(lambda: not windows_of_width(os.environ["DISPLAY"], 460), "the popup to close")
            if field.text() or "image/png" not in targets():
                fail("a cancelled chord pasted: field %r, clipboard %r" % (field.text(), targets()))

            # Row 2 of the popup (image, second, third, first now), centred on the 1280x800 screen: four
            # rows, one an image, make it 558 high. A late paste of the cancelled chords would come first.
            top = (800 - 558) // 2
            chord("v", ("click", 640, top + 44 + 6 + 180 + 6 + 88 + 6 + 44))
            wait_for(lambda: field.text() == "third entry", "the clicked row in the field")
            # The paste itself is a V with Control alone.
            seen = [key for key in field.keys() if key != "V %d" % 0x04000000]
            if any(key.startswith(("Esc", "V ", "Z ")) for key in seen):
                fail("chord keys reached the field: %r" % seen)

            # With Clipwell in front the chord is refused and V reaches its own search field; the next
            # chord over another application works all the same.
            activate(history)
            chord("v")
            activate(field_window)
            field.clear()
            chord("v")
            wait_for(lambda: field.text() == "third entry", "a paste after a refused chord")

            check_xterm(root, session)
        finally:
            if field:
                field.process.kill()
            if clipwell:
                clipwell.terminate()
                clipwell.wait(timeout=30)
            session.close()
            window_manager.terminate()
            window_manager.wait()
        check_guide_on_cold_launch(root)
    print("PASS")


if __name__ == "__main__":
    main()
