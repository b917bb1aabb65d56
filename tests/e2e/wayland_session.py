"""Headless Wayland compositors for end-to-end tests.

    with wayland_session.start("sway", root) as compositor:
        subprocess.run(["wl-paste"], env=compositor.client_env(home_env))

sway 1.7 refuses to run as root, so as root it runs as the unprivileged `nobody` with a runtime folder
of its own; KWin runs as the caller. Clients (Clipwell, wl-copy, the test tools) keep their own
runtime folder and reach the compositor's socket through an absolute path in WAYLAND_DISPLAY. A
compositor that cannot start here makes the test print one SKIP line and exit with SKIP_CODE.

KWin offers its window list and fake input only to programs installed with a desktop entry that names
them: each binary in grants gets such an entry (Exec its absolute path) in a data folder of KWin's own.
"""
import json
import os
import pwd
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wayland_wire  # noqa: E402

SKIP_CODE = 77
# What KWin offers a granted program beyond what every client gets.
KWIN_GRANTED_INTERFACES = "org_kde_kwin_fake_input,org_kde_plasma_window_management"
WIDTH, HEIGHT = 1280, 800
DATA_CONTROL = ("ext_data_control_manager_v1", "zwlr_data_control_manager_v1")


def until(condition, timeout):
    """Whether condition came true within timeout seconds, asked every 0.1 s."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return False


def skip(message, details=""):
    if details:
        print(details, file=sys.stderr, flush=True)
    print("SKIP: " + message, flush=True)
    sys.exit(SKIP_CODE)


class Compositor:
    name = None

    def __init__(self, root, extra_config="", grants=()):
        self.extra_config = extra_config
        self.grants = [os.path.realpath(path) for path in grants]
        self.root = os.path.join(root, self.name)
        os.makedirs(self.root)
        self.socket = None
        self.process = None
        self.log = os.path.join(self.root, "compositor.log")
        self.globals = {}

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.stop()

    def launch(self, command, env, **options):
        with open(self.log, "w") as log:
            # A session of its own: dbus-run-session leaves its children behind when killed alone.
            self.process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                            stderr=subprocess.STDOUT, start_new_session=True, **options)

    def wait_until_answering(self, find_socket, timeout=30.0):
        deadline = time.monotonic() + timeout
        problem = "no socket appeared"
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                problem = "it exited with status %d" % self.process.returncode
                break
            path = find_socket()
            if path:
                try:
                    self.globals = wayland_wire.globals_of(path)
                    self.socket = path
                    return
                except (OSError, wayland_wire.WaylandError) as error:
                    problem = "its socket does not answer (%s)" % error
            time.sleep(0.1)
        self.stop()
        log = open(self.log, errors="replace").read()[-2000:]
        skip("headless %s did not start: %s" % (self.name, problem), "%s's output:\n%s" % (self.name, log))

    def stop(self):
        if not self.process or self.process.poll() is not None:
            return
        try:
            os.killpg(self.process.pid, signal.SIGTERM)
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        except ProcessLookupError:
            pass

    def client_env(self, env):
        """The environment of a client: its own runtime folder, this compositor, no X display."""
        env = dict(env, WAYLAND_DISPLAY=self.socket)
        for name in ("DISPLAY", "XAUTHORITY", "SWAYSOCK", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        return env

    def data_control(self):
        """The data-control global a clipboard manager binds, or None."""
        if "ext_data_control_manager_v1" in self.globals:
            return "ext_data_control_manager_v1"
        if self.globals.get("zwlr_data_control_manager_v1", 0) >= 2:
            return "zwlr_data_control_manager_v1"
        return None


class Sway(Compositor):
    name = "sway"

    def start(self):
        if not shutil.which("sway"):
            skip("sway is not installed")
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "WLR_BACKENDS": "headless",
               "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1", "LANG": "C.UTF-8"}
        command = ["sway", "--config", os.path.join(self.root, "config")]
        owner = None
        if os.geteuid() == 0:
            try:
                owner = pwd.getpwnam("nobody")
            except KeyError:
                skip("sway refuses to run as root, and there is no user nobody to run it as")
            # Clients running as root reach the socket through folders nobody can search.
            os.chmod(os.path.dirname(self.root), 0o711)
            os.chmod(self.root, 0o711)
            command = ["setpriv", "--reuid=%d" % owner.pw_uid, "--regid=%d" % owner.pw_gid, "--clear-groups",
                       "--pdeathsig=TERM", "--", *command]
        self.runtime = os.path.join(self.root, "runtime")
        home = os.path.join(self.root, "home")
        for path in (self.runtime, home):
            os.mkdir(path, 0o700)
            if owner:
                os.chown(path, owner.pw_uid, owner.pw_gid)
        with open(os.path.join(self.root, "config"), "w") as config:
            config.write("xwayland disable\noutput HEADLESS-1 resolution %dx%d position 0 0\n"
                         "default_border none\n%s" % (WIDTH, HEIGHT, self.extra_config))
        os.chmod(os.path.join(self.root, "config"), 0o644)
        env.update(HOME=home, XDG_RUNTIME_DIR=self.runtime, XDG_CONFIG_HOME=os.path.join(home, ".config"))
        self.launch(command, env)
        self.wait_until_answering(lambda: self.entry_of("wayland-", lambda name: not name.endswith(".lock")))
        self.ipc = self.entry_of("sway-ipc.", lambda name: True)
        return self

    def entry_of(self, prefix, wanted):
        try:
            names = sorted(name for name in os.listdir(self.runtime) if name.startswith(prefix) and wanted(name))
        except OSError:
            return None
        return os.path.join(self.runtime, names[0]) if names else None

    def message(self, *arguments):
        """swaymsg over the IPC socket; the parsed answer."""
        found = subprocess.run(["swaymsg", "--socket", self.ipc, "--raw", *arguments], capture_output=True,
                               text=True, timeout=20)
        return json.loads(found.stdout) if found.stdout.strip() else None

    def focused(self):
        """The focused window's node in sway's tree, or None."""
        def walk(node):
            if node.get("focused") and node.get("type") in ("con", "floating_con"):
                return node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                found = walk(child)
                if found:
                    return found
            return None
        return walk(self.message("-t", "get_tree"))

    def windows(self):
        """(app_id, rect) of every window."""
        found = []

        def walk(node):
            if node.get("type") in ("con", "floating_con") and node.get("app_id") is not None:
                found.append((node["app_id"], node["rect"]))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(self.message("-t", "get_tree"))
        return found


class KWin(Compositor):
    name = "kwin"

    def start(self):
        installed = shutil.which("kwin_wayland")
        if not installed:
            skip("kwin_wayland is not installed")
        if not shutil.which("dbus-run-session"):
            skip("dbus-run-session is not installed")
        # The installed binary carries file capabilities, which a container cannot exec.
        binary = os.path.join(self.root, "kwin_wayland")
        shutil.copyfile(installed, binary)
        os.chmod(binary, 0o755)
        self.runtime = os.path.join(self.root, "runtime")
        home = os.path.join(self.root, "home")
        for path in (self.runtime, home):
            os.mkdir(path, 0o700)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "XDG_RUNTIME_DIR": self.runtime,
               "XDG_CONFIG_HOME": os.path.join(home, ".config"), "LANG": "C.UTF-8",
               "XDG_DATA_DIRS": os.path.join(self.root, "data") + ":/usr/local/share:/usr/share"}
        applications = os.path.join(self.root, "data", "applications")
        os.makedirs(applications)
        for number, path in enumerate(self.grants):
            with open(os.path.join(applications, "granted-%d.desktop" % number), "w") as entry:
                entry.write("[Desktop Entry]\nType=Application\nName=%s\nExec=%s\nX-KDE-Wayland-Interfaces=%s\n"
                            % (os.path.basename(path), path, KWIN_GRANTED_INTERFACES))
        name = "kwin-e2e"
        # Whoever dies first, the test or dbus-run-session, takes KWin along. The bus's address is kept
        # for clients of KWin's global shortcuts.
        orphaned = ["setpriv", "--pdeathsig=TERM", "--"]
        address = os.path.join(self.root, "bus-address")
        keep_address = ["sh", "-c", 'printf %s "$DBUS_SESSION_BUS_ADDRESS" > "$0" && exec "$@"', address]
        self.launch([*orphaned, "dbus-run-session", "--", *keep_address, *orphaned, binary, "--virtual",
                     "--socket", name, "--no-lockscreen", "--width", str(WIDTH), "--height", str(HEIGHT)], env)
        path = os.path.join(self.runtime, name)
        self.wait_until_answering(lambda: path if os.path.exists(path) else None, timeout=60.0)
        self.bus = open(address).read()
        return self

    def client_env(self, env):
        return dict(super().client_env(env), DBUS_SESSION_BUS_ADDRESS=self.bus, XDG_CURRENT_DESKTOP="KDE")


def session_bus(env):
    """Starts a D-Bus session bus for the clients and puts its address in env; the caller stops the
    process returned. A session has a bus; without one, D-Bus would start one through whatever X display
    it finds. Under ASan whole stacks are kept, so that the leak check can tell Qt's wayland platform's
    own from ours."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] += ":fast_unwind_on_malloc=0"
    return bus


def start(name, root, sway_config="", grants=()):
    """Starts the named compositor ("sway" or "kwin") under root; skips the test if it cannot.
    sway_config is added to sway's configuration; KWin grants its window list and fake input to the
    binaries in grants (sway offers them to every client)."""
    kinds = {"sway": Sway, "kwin": KWin}
    if name not in kinds:
        raise ValueError("unknown compositor %r" % name)
    compositor = kinds[name](root, sway_config, grants).start()
    if not compositor.data_control():
        compositor.stop()
        skip("headless %s offers no data-control protocol" % name)
    return compositor

