#!/usr/bin/env python3
"""The real Clipwell on the X server in DISPLAY, with a throw-away home.

    e2e_clipwell.py CLIPWELL TEST_CLIPBOARD_OWNER

Checks the start-up messages without a usable display, and --help and --version without any; starts
Clipwell, copies a text, a link and an image from other clients and sends SIGTERM a moment after the last one: the archive, read with
plistlib, holds all three. Started again, Clipwell loads them (later copies are written beside them,
on SIGHUP and SIGINT); closing its window leaves it running, a second launch brings the window back
and exits, and a crashed instance does not keep the next one from starting. A copy whose owner quits
stays on the clipboard, and another clipboard manager gets it when Clipwell quits. Started in the
background, as at login, Clipwell opens no window until it is launched again.
"""
import os
import plistlib
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import zlib

# CLIPWELL_E2E_BINARY puts an installed Clipwell in place of the build tree's.
CLIPWELL, OWNER = os.environ.get("CLIPWELL_E2E_BINARY") or sys.argv[1], sys.argv[2]


def png(width, height):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes((40, 120, 200)) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def output_of(process):
    process.output.seek(0)
    return process.output.read()


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def wait_for(condition, what, timeout=30.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.1)
    fail("timed out waiting for " + what)


class Session:
    def __init__(self, root):
        self.root = root
        self.env = dict(os.environ)
        for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
            path = os.path.join(root, name.lower())
            os.makedirs(path, mode=0o700)
            self.env[name] = path
        self.archive = os.path.join(self.env["XDG_DATA_HOME"], "Clipwell", "history.plist")
        self.owner = None
        self.copies = 0
        self.launches = 0

    def launch(self, *arguments, **overrides):
        env = dict(self.env, **overrides)
        for name, value in overrides.items():
            if value is None:
                del env[name]
        # Files, not pipes: nobody reads Clipwell's output while it runs.
        self.launches += 1
        output = open(os.path.join(self.root, "clipwell-%d.log" % self.launches), "w+")
        process = subprocess.Popen([CLIPWELL, *arguments], env=env, stdout=output, stderr=subprocess.STDOUT)
        process.output = output
        return process

    def visible_windows(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "^Clipwell$"],
                               env=self.env, capture_output=True, text=True)
        return found.stdout.split()

    def copy(self, target, value):
        """Owns the clipboard with one target, as another application would, until Clipwell has read it."""
        self.copies += 1
        log = os.path.join(self.root, "owner-%d.log" % self.copies)
        if isinstance(value, bytes):
            path = os.path.join(self.root, "copy-%d" % self.copies)
            with open(path, "wb") as file:
                file.write(value)
            value = "@" + path
        previous = self.owner
        self.owner = subprocess.Popen([OWNER, "--log", log, "%s=%s" % (target, value)], env=self.env,
                                      stdout=subprocess.PIPE, text=True)
        if self.owner.stdout.readline().strip() != "ready":
            fail("the clipboard owner did not start")
        if previous:
            previous.wait(timeout=10)

        def read():
            return os.path.exists(log) and target in open(log).read().split()
        wait_for(read, "Clipwell to read %s" % target)

    def stop(self, process, signal_number):
        process.send_signal(signal_number)
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            fail("Clipwell did not quit on signal %d" % signal_number)
        if process.returncode != 0:
            fail("Clipwell exited with %d after signal %d:\n%s"
                 % (process.returncode, signal_number, output_of(process)))

    def archived_entries(self):
        """The archive's entries as plistlib reads them, newest first."""
        with open(self.archive, "rb") as file:
            archive = plistlib.load(file)
        if archive["version"] != 1:
            fail("archive version %r" % archive["version"])
        return archive["entries"]

    def archived(self):
        return [(entry["kind"], entry["title"]) for entry in self.archived_entries()]

    def close(self):
        if self.owner:
            self.owner.terminate()
            self.owner.wait()


def clipboard_text(session):
    found = subprocess.run(["xclip", "-selection", "clipboard", "-o", "-t", "UTF8_STRING"], env=session.env,
                           capture_output=True, timeout=20)
    return found.stdout.decode()


def owner_quits(session):
    session.owner.kill()
    session.owner.wait()
    session.owner = None


def copy_again(session):
    """Clicks the detail pane's Copy Again button, at the window's bottom right: has Clipwell copied?"""
    window = session.visible_windows()[0]
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=session.env,
                              capture_output=True, text=True, check=True).stdout
    size = dict(line.split("=") for line in geometry.split())
    subprocess.run(["xdotool", "windowactivate", "--sync", window, "mousemove", "--window", window,
                    str(int(size["WIDTH"]) - 100), str(int(size["HEIGHT"]) - 37), "click", "1"],
                   env=session.env, check=True, timeout=30)
    targets = subprocess.run(["xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"], env=session.env,
                             capture_output=True, text=True, timeout=20).stdout
    return "app.clipwell.internal" in targets.split()


def start_window_manager(env):
    """Starts openbox and waits until it frames a window of our own: it claims the screen before it
    takes new windows, and a window mapped in between stays unmapped for good."""
    window_manager = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        probe = subprocess.Popen(["xmessage", "-title", "wm-probe", "probe"], env=env, stderr=subprocess.DEVNULL)
        for _ in range(20):
            tree = subprocess.run(["xwininfo", "-name", "wm-probe", "-tree"], env=env, capture_output=True,
                                  text=True).stdout
            if "Parent window id" in tree and "(the root window)" not in tree.split("Parent window id")[1]:
                probe.kill()
                probe.wait()
                return window_manager
            time.sleep(0.1)
        probe.kill()
        probe.wait()
    fail("openbox never managed a window")


def answers_on_its_socket(session):
    """Whether the instance runs its event loop: it closes a connection that asks for nothing it knows."""
    path = os.path.join(session.env["XDG_RUNTIME_DIR"], "clipwell", "instance.socket")
    try:
        with socket.socket(socket.AF_UNIX) as connection:
            connection.settimeout(10)
            connection.connect(path)
            connection.sendall(b"hello\n")
            return connection.recv(16) == b""
    except OSError:
        return False


def check_display_messages(session):
    no_display = {"DISPLAY": None, "WAYLAND_DISPLAY": None}
    cases = [((), {"DISPLAY": None, "WAYLAND_DISPLAY": "wayland-e2e"}, 1, "Wayland"),
             ((), {"DISPLAY": ":4711", "WAYLAND_DISPLAY": None}, 1, "cannot open the X display"),
             (("--help",), no_display, 0, "--background"),
             (("--version",), no_display, 0, "Clipwell 0."),
             (("--backgroud",), no_display, 2, "backgroud"),
             # Qt's own options are left to Qt.
             (("-style", "Fusion", "-platform", "xcb"), {"DISPLAY": ":4711", "WAYLAND_DISPLAY": None}, 1,
              "cannot open the X display")]
    for arguments, overrides, status, expected in cases:
        process = session.launch(*arguments, **overrides)
        process.wait(timeout=30)
        errors = output_of(process)
        if process.returncode != status or expected not in errors:
            fail("%r with %r: status %d, message %r" % (arguments, overrides, process.returncode, errors))


def main():
    with tempfile.TemporaryDirectory() as root:
        session = Session(root)
        window_manager = start_window_manager(session.env)
        try:
            check_display_messages(session)

            first = session.launch()
            wait_for(lambda: session.visible_windows(), "the history window")
            session.copy("UTF8_STRING", "Clipwell end-to-end text")
            time.sleep(1)
            session.copy("UTF8_STRING", "https://example.com/clipwell-e2e")
            time.sleep(1)
            session.copy("image/png", png(16, 12))
            # A moment later: the history has not been saved on its own yet.
            time.sleep(0.2)
            session.stop(first, signal.SIGTERM)
            expected = [("image", None), ("link", "https://example.com/clipwell-e2e"),
                        ("text", "Clipwell end-to-end text")]
            kinds = [(kind, None if kind == "image" else title) for kind, title in session.archived()]
            if kinds != expected:
                fail("archive after SIGTERM: %r" % kinds)

            second = session.launch()
            wait_for(lambda: session.visible_windows(), "the history window after a restart")
            window = session.visible_windows()[0]
            subprocess.run(["xdotool", "windowactivate", "--sync", window, "key", "ctrl+w"], env=session.env,
                           check=True, timeout=30)
            wait_for(lambda: not session.visible_windows(), "Ctrl+W to close the history window")
            time.sleep(0.5)
            if second.poll() is not None:
                fail("closing the history window quit Clipwell")

            third = session.launch()
            try:
                third.wait(timeout=30)
            except subprocess.TimeoutExpired:
                third.kill()
                fail("a second launch kept running")
            if third.returncode != 0:
                fail("a second launch exited with %d: %s" % (third.returncode, output_of(third)))
            wait_for(lambda: session.visible_windows(), "the second launch to present the window")
            if second.poll() is not None:
                fail("a second launch ended the first")

            session.copy("UTF8_STRING", "after the restart")
            time.sleep(0.2)
            session.stop(second, signal.SIGHUP)
            expected = ["after the restart", "https://example.com/clipwell-e2e", "Clipwell end-to-end text"]
            titles = [title for kind, title in session.archived() if kind != "image"]
            if titles != expected:
                fail("archive after the restart: %r" % titles)

            last = session.launch()
            wait_for(lambda: session.visible_windows(), "the history window after a second restart")
            session.copy("UTF8_STRING", "before an interrupt")
            time.sleep(0.2)
            session.stop(last, signal.SIGINT)
            titles = [title for kind, title in session.archived() if kind != "image"]
            if titles != ["before an interrupt"] + expected:
                fail("archive after SIGINT: %r" % titles)

            # A crash leaves the lock and the socket behind; neither may keep Clipwell from starting.
            crashed = session.launch()
            wait_for(lambda: session.visible_windows(), "the history window before a crash")
            crashed.kill()
            crashed.wait()
            after_crash = session.launch()
            wait_for(lambda: session.visible_windows(), "the history window after a crash")
            session.stop(after_crash, signal.SIGTERM)

            # A copy outlives the application that made it, and is not recorded a second time.
            keeper = session.launch()
            wait_for(lambda: session.visible_windows(), "the history window before an owner quits")
            session.copy("UTF8_STRING", "kept after its owner quit")
            owner_quits(session)
            wait_for(lambda: clipboard_text(session) == "kept after its owner quit", "the copy to outlive its owner")
            # Qt offers its own clipboard to the clipboard manager at quit: that must not be us any more.
            wait_for(lambda: copy_again(session), "Copy Again")
            session.stop(keeper, signal.SIGTERM)
            if "reasonable time" in output_of(keeper):
                fail("Clipwell waited for itself as the clipboard manager at quit")
            titles = [title for kind, title in session.archived() if kind != "image"]
            # Recorded once; the selection at start, copied again, went first.
            if titles != ["before an interrupt", "kept after its owner quit"] + expected:
                fail("archive after a restored copy: %r" % titles)

            # With another clipboard manager running, Clipwell hands it what it serves when it quits.
            manager_log = os.path.join(root, "manager.log")
            manager = subprocess.Popen([OWNER, "--manager", manager_log], env=session.env, stdout=subprocess.PIPE,
                                       text=True)
            if manager.stdout.readline().strip() != "ready":
                fail("the test clipboard manager did not start")
            handing = session.launch()
            wait_for(lambda: session.visible_windows(), "the history window beside another manager")
            session.copy("UTF8_STRING", "handed over at quit")
            owner_quits(session)
            wait_for(lambda: clipboard_text(session) == "handed over at quit", "the copy to outlive its owner")
            session.stop(handing, signal.SIGTERM)
            # Its own copy, too, through Qt.
            again = session.launch()
            wait_for(lambda: session.visible_windows(), "the history window for a Copy Again")
            wait_for(lambda: copy_again(session), "Copy Again")
            session.stop(again, signal.SIGTERM)
            manager.kill()
            manager.wait()
            if open(manager_log).read().split("\n")[:2] != ["handed over at quit"] * 2:
                fail("the other manager got %r; Clipwell said %r" % (open(manager_log).read(), output_of(again)))

            # Started at login: no window; a launch from the menu opens it.
            # An earlier version's autostart entry gets the option.
            autostart = os.path.join(session.env["XDG_CONFIG_HOME"], "autostart", "clipwell.desktop")
            os.makedirs(os.path.dirname(autostart))
            with open(autostart, "w") as entry:
                entry.write('[Desktop Entry]\nType=Application\nExec="%s"\n' % os.path.abspath(CLIPWELL))
            at_login = session.launch("--background")
            wait_for(lambda: answers_on_its_socket(session), "the instance started in the background")
            if '" --background\n' not in open(autostart).read():
                fail("the older autostart entry was not updated: %r" % open(autostart).read())
            if session.visible_windows():
                fail("a start in the background opened the history window")
            if session.launch("--background").wait(timeout=30) != 0 or session.visible_windows():
                fail("a second start in the background did not leave quietly")
            if session.launch().wait(timeout=30) != 0:
                fail("a launch beside the background instance failed")
            wait_for(lambda: session.visible_windows(), "a launch to open the window of the background instance")
            session.stop(at_login, signal.SIGTERM)
        finally:
            session.close()
            window_manager.terminate()
            window_manager.wait()
    print("PASS")


if __name__ == "__main__":
    main()
