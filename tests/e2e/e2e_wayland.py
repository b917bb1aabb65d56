#!/usr/bin/env python3
"""The real Clipwell as a native Wayland client of a headless compositor, with a throw-away home.

    e2e_wayland.py CLIPWELL TEST_WAYLAND_OWNER sway|kwin TEST_TEXT_FIELD SCREENSHOT_DIR

First the tools the checks rely on are proven on the compositor: wl-copy and wl-paste, our own
clipboard owner with several MIME types, and (on sway) a toplevel with an app_id in front. Then
Clipwell runs with no X display: a text with HTML, a link, an image and two files copied by other
clients are recorded with the right kinds and the application in front (our text field) as their
source, which KWin tells the Clipwell it grants its window list in a desktop entry;
when each owner quits, wl-paste still reads its copy back byte for byte in every type, from Clipwell;
so does a copy whose owner served it once and quit at once (wl-copy --paste-once); a copy marked with
x-kde-passwordManagerHint is never read. Started again with an X display beside the compositor,
Clipwell never connects to it; on sway a double click on a row and the Copy Again button put an older
entry back, byte for byte in every type, and a screenshot of the window goes to SCREENSHOT_DIR. A
compositor that cannot start here skips the test.
"""
import os
import select
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_clipwell import CLIPWELL, Session, answers_on_its_socket, fail, output_of, png, wait_for  # noqa: E402
import wayland_session  # noqa: E402
from wayland_session import until  # noqa: E402
import wayland_wire  # noqa: E402

OWNER, COMPOSITOR, FIELD, SHOTS = sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
APP_ID = "org.clipwell.TestField"
APP_NAME = "Wayland Test Field"
MARKER = "app.clipwell.internal"
TEXT = "text/plain;charset=utf-8"
# Where the history window's list puts its rows: a point inside the first, and the distance to the next.
ROW_X, FIRST_ROW_Y, ROW_STEP = 100, 200, 87


class Owners:
    """Clipboard owners of our own; each logs the MIME types it was asked for."""

    def __init__(self, root, env):
        self.root, self.env = root, env
        self.count = 0
        self.current = None

    def offer(self, offers):
        self.count += 1
        log = os.path.join(self.root, "owner-%d.log" % self.count)
        open(log, "w").close()
        arguments = []
        for mime, value in offers:
            path = os.path.join(self.root, "offer-%d-%d" % (self.count, len(arguments)))
            with open(path, "wb") as file:
                file.write(value if isinstance(value, bytes) else value.encode())
            arguments += [mime, "@" + path]
        owner = subprocess.Popen([OWNER, "--log", log, *arguments], env=self.env, stdout=subprocess.PIPE, text=True)
        if owner.stdout.readline().strip() != "ready":
            fail("the clipboard owner did not start")
        owner.log = log
        previous, self.current = self.current, owner
        if previous:
            # It lost the selection to the new owner, and quits.
            try:
                previous.wait(timeout=10)
            except subprocess.TimeoutExpired:
                fail("an owner kept running after another client took the selection")
        return owner

    @staticmethod
    def requested(owner):
        return open(owner.log).read().split("\n")[:-1]

    def copy(self, offers, retry=False):
        """Offers the copy and waits until Clipwell has read every type of it. Until the backend
        watches the clipboard, a copy is its starting point and never read: retry offers it anew."""
        wanted = {mime for mime, _ in offers}
        for _ in range(10 if retry else 1):
            owner = self.offer(offers)
            if until(lambda: wanted <= set(self.requested(owner)), 3 if retry else 30):
                return owner
        fail("Clipwell read only %r of %r" % (self.requested(owner), sorted(wanted)))

    def kill(self):
        if self.current:
            self.current.kill()
            self.current.wait()
            self.current = None


def saved(session):
    """The saved history's entries; none while it is not there."""
    try:
        return session.archived_entries()
    except (OSError, ValueError, KeyError):
        return []


def paste(env, mime=None, timeout=3):
    """What wl-paste reads, or None; KWin never answers a read of an empty clipboard."""
    command = ["wl-paste", "--no-newline"] + (["--type", mime] if mime else [])
    try:
        found = subprocess.run(command, env=env, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    return found.stdout if found.returncode == 0 else None


def offered_types(env):
    try:
        found = subprocess.run(["wl-paste", "--list-types"], env=env, capture_output=True, text=True, timeout=3)
    except subprocess.TimeoutExpired:
        return []
    return found.stdout.split() if found.returncode == 0 else []


def reads_back(env, expected, from_clipwell=True):
    """Whether the clipboard holds each (MIME type, bytes) exactly, and Clipwell's marker."""
    if from_clipwell and MARKER not in offered_types(env):
        return False
    return all(paste(env, mime) == (value if isinstance(value, bytes) else value.encode()) for mime, value in expected)


def wait_reads_back(env, expected, what):
    if until(lambda: reads_back(env, expected), 30):
        return
    found = {mime: paste(env, mime) for mime, _ in expected}
    fail("%s: the clipboard offers %r and holds %r" % (what, offered_types(env), found))


class X11Tripwire:
    """An X display nobody serves: a listening socket where clients look for display :N first."""

    def __init__(self):
        for number in range(4700, 4900):
            if os.path.exists("/tmp/.X11-unix/X%d" % number):
                continue
            self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            try:
                self.socket.bind("\0/tmp/.X11-unix/X%d" % number)
            except OSError:
                self.socket.close()
                continue
            self.socket.listen(8)
            self.socket.setblocking(False)
            self.display = ":%d" % number
            return
        fail("no free X display number for the tripwire")

    def touched(self):
        try:
            self.socket.accept()[0].close()
            return True
        except BlockingIOError:
            return False


def check_tools(compositor, env, root):
    """The tools the checks rely on behave on this compositor, with or without Clipwell."""
    wl_copy = subprocess.Popen(["wl-copy", "--foreground", "--type", TEXT, "from wl-copy"], env=env,
                               stderr=subprocess.DEVNULL)
    try:
        wait_for(lambda: paste(env, TEXT) == b"from wl-copy", "wl-paste to read what wl-copy offers")
    finally:
        wl_copy.kill()
        wl_copy.wait()
    owners = Owners(root, env)
    offers = [(TEXT, "tool check"), ("text/html", "<i>tool</i> check"), ("image/png", png(3, 2))]
    owners.offer(offers)
    if not reads_back(env, offers, from_clipwell=False) or offered_types(env) != [m for m, _ in offers]:
        fail("the test owner's copy reads back as %r" % offered_types(env))
    if owners.requested(owners.current) != [TEXT, "text/html", "image/png"]:
        fail("the test owner logged %r" % owners.requested(owners.current))
    owners.kill()


def start_field(compositor, env):
    field = subprocess.Popen([FIELD, "--app-id", APP_ID], env=dict(env, QT_QPA_PLATFORM="wayland"),
                             stdout=subprocess.PIPE)
    if compositor.name == "sway":
        wait_for(lambda: (compositor.focused() or {}).get("app_id") == APP_ID, "the test field in front")
    else:
        # KWin shows its windows to granted programs only; the field says when its window is active.
        said = b""
        deadline = time.monotonic() + 30
        while b"ready\n" not in said and time.monotonic() < deadline and field.poll() is None:
            if select.select([field.stdout], [], [], 0.5)[0]:
                said += os.read(field.stdout.fileno(), 4096)
        if b"ready\n" not in said:
            field.kill()
            fail("timed out waiting for the test field in front")
    return field


def clipwell_window(compositor):
    return next((rect for app_id, rect in compositor.windows() if app_id == "clipwell"), None)


def check_clipwell(compositor, session, root):
    sway = compositor.name == "sway"
    owners = Owners(root, session.env)
    files = [os.path.join(root, name) for name in ("first notes.txt", "second.txt")]
    for path in files:
        with open(path, "w") as file:
            file.write(path)
    uris = ["file://" + path.replace(" ", "%20") for path in files]
    image = png(64, 48)
    copies = [
        ("text", "Clipwell on Wayland", [(TEXT, "Clipwell on Wayland"), ("text/html", "<p>Clipwell <b>on</b> Wayland</p>")],
         []),
        ("link", "https://example.com/clipwell-wayland", [(TEXT, "https://example.com/clipwell-wayland")], []),
        ("image", None, [("image/png", image)], []),
        ("file", "first notes.txt", [("text/uri-list", "".join(uri + "\r\n" for uri in uris))],
         [("x-special/gnome-copied-files", "copy\n" + "\n".join(uris)), (TEXT, "\n".join(files))]),
    ]
    applications = os.path.join(session.env["XDG_DATA_HOME"], "applications")
    os.makedirs(applications)
    with open(os.path.join(applications, APP_ID + ".desktop"), "w") as entry:
        entry.write("[Desktop Entry]\nType=Application\nName=%s\nExec=%s\n" % (APP_NAME, FIELD))

    pointer = wayland_wire.VirtualPointer(compositor.socket, wayland_session.WIDTH,
                                          wayland_session.HEIGHT) if sway else None
    try:
        check_with_clipwell(compositor, session, owners, copies, pointer)
    finally:
        if pointer:
            pointer.close()


def check_with_clipwell(compositor, session, owners, copies, pointer):
    sway = compositor.name == "sway"
    clipwell = session.launch()
    field = None
    try:
        if sway:
            wait_for(lambda: clipwell_window(compositor), "the history window on sway")
            field = start_field(compositor, session.env)
        else:
            wait_for(lambda: answers_on_its_socket(session), "Clipwell to run")
            field = start_field(compositor, session.env)
        for number, (kind, title, offers, written) in enumerate(copies):
            owners.copy(offers, retry=number == 0)
            wait_for(lambda: len(saved(session)) == number + 1, "the %s in the saved history" % kind)
            # The owner quits: Clipwell keeps its copy on the clipboard, in every type, and more.
            owners.kill()
            wait_reads_back(session.env, offers + written, "the %s kept after its owner quit" % kind)
        # An owner that quits as soon as its copy was read once, as wl-copy --paste-once does.
        once = subprocess.Popen(["wl-copy", "--paste-once", "--foreground", "--type", TEXT, "served once"],
                                env=session.env, stderr=subprocess.DEVNULL)
        try:
            once.wait(timeout=30)
        except subprocess.TimeoutExpired:
            once.kill()
            fail("Clipwell never read a copy served once")
        if not until(lambda: any(entry["title"] == "served once" for entry in saved(session)), 10):
            fail("a copy whose owner served it once and quit was not recorded")
        wait_reads_back(session.env, [(TEXT, "served once")], "a copy whose owner served it once and quit")
        secret = owners.offer([(TEXT, "hunter2 on Wayland"), ("x-kde-passwordManagerHint", "secret")])
        owners.copy([(TEXT, "after the password")])
        wait_for(lambda: saved(session)[:1] and saved(session)[0]["title"] == "after the password",
                 "the copy after the password in the saved history")
        if owners.requested(secret):
            fail("Clipwell read %r of a password manager's copy" % owners.requested(secret))
        if clipwell.poll() is not None:
            fail("Clipwell exited with %d:\n%s" % (clipwell.returncode, output_of(clipwell)))
        if "Wayland backend" not in output_of(clipwell):
            fail("the log does not say that the Wayland backend runs:\n" + output_of(clipwell))
        if sway:
            # A click on the detail pane's header brings Clipwell in front.
            window = clipwell_window(compositor)
            pointer.click(*at(window, window["width"] - 250, 120))
            wait_for(lambda: (compositor.focused() or {}).get("app_id") == "clipwell", "the history window in front")
            time.sleep(0.5)
            shot = os.path.join(SHOTS, "history-%s.png" % compositor.name)
            subprocess.run(["grim", shot], env=session.env, check=True, timeout=30)
            print("screenshot: " + shot)
        session.stop(clipwell, signal.SIGTERM)
    finally:
        if clipwell.poll() is None:
            clipwell.kill()
        owners.kill()
        if field:
            field.kill()
            field.wait()

    entries = session.archived_entries()
    found = [(entry["kind"], None if entry["kind"] == "image" else entry["title"]) for entry in entries]
    expected = [("text", "after the password"), ("text", "served once")] + [
        (kind, title) for kind, title, _, _ in reversed(copies)]
    if found != expected:
        fail("archive after SIGTERM: %r" % found)
    for entry in entries:
        source = entry.get("sourceBundleIdentifier"), entry.get("sourceName")
        if source != (APP_ID, APP_NAME):
            fail("the %s entry came from %r" % (entry["kind"], source))
    types = [[r["type"] for r in entry["items"][0]["representations"]] for entry in entries]
    # Oldest last: the text with its HTML, the link, the image.
    image = dict(copies[2][2])["image/png"]
    if ("public.html" not in types[-1] or types[-3] != ["public.png"]
            or entries[-3]["items"][0]["representations"][0]["data"] != image):
        fail("representations recorded: %r" % types)

    # Again, with an X display beside the compositor: Clipwell still never connects to it.
    tripwire = X11Tripwire()
    again = session.launch(DISPLAY=tripwire.display)
    try:
        if sway:
            wait_for(lambda: clipwell_window(compositor), "the history window after a restart")
            window = clipwell_window(compositor)
            row = at(window, ROW_X, FIRST_ROW_Y + 2 * ROW_STEP)  # the file copy
            _, _, offers, written = copies[3]
            file_entry = offers + written
            try:
                # Something else on the clipboard, never recorded; then the file copy is copied again:
                # by a double click on its row (retried, as the history loads after the window shows),
                # then with the Copy Again button, which acts on the row the double click selected.
                owners.offer([(TEXT, "a password"), ("x-kde-passwordManagerHint", "secret")])
                if not until(lambda: double_click(pointer, row) or until(lambda: reads_back(session.env, file_entry),
                                                                        2), 30):
                    wait_reads_back(session.env, file_entry, "a double click on the file entry")
                owners.current.wait(timeout=10)
                owners.offer([(TEXT, "a password"), ("x-kde-passwordManagerHint", "secret")])
                pointer.click(*at(window, window["width"] - 100, window["height"] - 37))
                wait_reads_back(session.env, file_entry, "Copy Again of the file entry")
                owners.current.wait(timeout=10)
                owners.current = None
            except SystemExit:
                subprocess.run(["grim", os.path.join(SHOTS, "copy-again-failed.png")], env=session.env, timeout=30)
                raise
        else:
            wait_for(lambda: answers_on_its_socket(session), "Clipwell to run again")
            owners.copy([(TEXT, "recorded with an X display about")], retry=True)
        session.stop(again, signal.SIGTERM)
    finally:
        if again.poll() is None:
            again.kill()
        owners.kill()
    if tripwire.touched() or "Wayland backend" not in output_of(again):
        fail("with an X display about, Clipwell connected to it, or said:\n" + output_of(again))


def double_click(pointer, point):
    pointer.click(*point)
    pointer.click(*point)


def at(window, dx, dy):
    return window["x"] + dx, window["y"] + dy


def main():
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(SHOTS, exist_ok=True)
        # The history window floats at a known place, above the test field.
        floating = 'for_window [app_id="^clipwell$"] floating enable, resize set 1000 700, move position 0 0\n'
        with wayland_session.start(COMPOSITOR, root, sway_config=floating, grants=[CLIPWELL]) as compositor:
            session = Session(os.path.join(root, "client"))
            session.env = compositor.client_env(session.env)
            check_tools(compositor, session.env, os.path.join(root, "client"))
            if compositor.name == "sway":
                start_field(compositor, session.env).kill()
            print("%s: wl-copy, wl-paste and the test owner work%s" % (
                compositor.name, ", the test field shows its app_id" if compositor.name == "sway" else ""))
            bus = wayland_session.session_bus(session.env)
            try:
                check_clipwell(compositor, session, os.path.join(root, "client"))
            finally:
                session.close()
                bus.terminate()
                bus.wait()
    print("PASS")


if __name__ == "__main__":
    main()
