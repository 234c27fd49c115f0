"""GNOME's compositor, mutter, headless on one virtual monitor, with a
session bus and a PipeWire daemon of its own, worked through one
remote-desktop session that lasts the whole desktop (mutter_remote.py)."""

import glob
import os
import re
import subprocess

from .base import (TITLE, Desktop, WindowNotShown, end_process, program_env,
                   wait_until)
from .elsewhere_wayland import ElsewhereOnWayland
from .grab_log import GrabLog
from .input_client import InputClient
from .seen_on_screen import SeenOnScreen
from .shape_wayland import PointsOnWayland

HERE = os.path.dirname(os.path.abspath(__file__))
# Debian's own Python, which has the GObject bindings the session needs.
SYSTEM_PYTHON = "/usr/bin/python3"
REMOTE = os.path.join(HERE, "clients", "mutter_remote.py")
DISPLAY = "wayland-0"
# Key names as the tests write them, and the keysyms mutter is sent.
MODIFIERS = {"shift": "Shift_L", "ctrl": "Control_L", "alt": "Alt_L", "super": "Super_L"}
# mutter's word on the X display it gives its XWayland's clients.
X_DISPLAY = re.compile(r"Using public X11 display (:\d+)")
# The scale of the virtual monitor, read as mutter starts, as a person's
# display settings are: XWayland then starts on the scaled screen.
MONITORS = """\
<monitors version="2">
  <configuration>
    <logicalmonitor>
      <x>0</x><y>0</y><scale>{scale:g}</scale><primary>yes</primary>
      <monitor>
        <monitorspec>
          <connector>Meta-0</connector><vendor>MetaVendor</vendor>
          <product>MetaVirtualMonitor</product><serial>0x00</serial>
        </monitorspec>
        <mode><width>{width}</width><height>{height}</height><rate>60</rate></mode>
      </monitor>
    </logicalmonitor>
  </configuration>
</monitors>
"""
FRACTIONAL = "[org/gnome/mutter]\nexperimental-features=['scale-monitor-framebuffer']\n"


def write_file(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        out.write(text)


class MutterDesktop(PointsOnWayland, ElsewhereOnWayland, SeenOnScreen, Desktop):
    """mutter with its XWayland on a virtual monitor of width x height
    logical pixels, each scale device pixels wide, in a home of its own.
    mutter says nothing of its windows to anyone but a shell, so the window
    is found where the screen shows its grey: one program window at a
    time. The program reaches it by path ("xwayland" or "wayland"): the one
    its library picks there, or, forced, the one it is sent down (by
    default the native one)."""

    tools = ("xdotool", "pw-link", SYSTEM_PYTHON)
    servers = ("mutter", "Xwayland", "dbus-daemon", "pipewire")
    watches_screen = True
    # Out of maximised, as its own title bar is; a maximised window takes
    # no resize. Edge tiling is off in mutter's own settings.
    drags_out_of_maximised = "restored"
    maximised_top_row = "unchanged"
    snaps = {}
    desktop_keys = {"Super+Up": "maximised", "Super+Left": "left half", "Alt+F10": "maximised"}

    def __init__(self, record):
        super().__init__(record)
        self._home = self._remote = self._x_display = self._x_authority = None
        self._processes = {}  # by name, in the order they were started

    def _start(self):
        self._home = self.scratch_directory("window-test-mutter-")
        self._runtime = os.path.join(self._home, "runtime")
        home = os.path.join(self._home, "home")
        for path in (self._runtime, home):
            os.mkdir(path, 0o700)
        self._bus = f"unix:path={os.path.join(self._runtime, 'bus')}"
        # The virtual monitor's device pixels.
        screen = (round(self.width * self.scale), round(self.height * self.scale))
        # Settings stay in memory: mutter's defaults, and nothing written;
        # but a fractional scale is offered only where the settings turn it
        # on, as GNOME's users do, and they are then read from a file.
        config = os.path.join(home, ".config")
        settings = {"GSETTINGS_BACKEND": "memory"}
        if self.scale != int(self.scale):
            settings = {"GSETTINGS_BACKEND": "keyfile"}
            write_file(os.path.join(config, "glib-2.0", "settings", "keyfile"), FRACTIONAL)
        if self.scale != 1:
            write_file(os.path.join(config, "monitors.xml"),
                       MONITORS.format(width=screen[0], height=screen[1], scale=self.scale))
        env = program_env(HOME=home, XDG_RUNTIME_DIR=self._runtime, XDG_CONFIG_HOME=config,
                          DBUS_SESSION_BUS_ADDRESS=self._bus, **settings)
        # The bus in a process group of its own, so that the services it
        # starts on demand end with it.
        self._spawn("dbus-daemon", ["dbus-daemon", "--session", f"--address={self._bus}",
                                    "--nofork", "--nopidfile"], env, start_new_session=True)
        self._wait_for_file("bus")
        self._spawn("pipewire", ["pipewire"], env)
        self._wait_for_file("pipewire-0")
        # Its window operations in its log: the drags it takes over.
        mutter = self._spawn("mutter", ["mutter", "--headless", "--wayland",
                                        f"--virtual-monitor={screen[0]}x{screen[1]}",
                                        f"--wayland-display={DISPLAY}"],
                             {**env, "MUTTER_DEBUG": "window-ops"})
        self.log_path = mutter.log
        self._grabs = GrabLog(self.log_path)
        self._wait_for_file(DISPLAY)
        self._x_display = wait_until(lambda: self.check_alive() or X_DISPLAY.search(self.log()), 20,
                                     "mutter's X display")[1]
        # XWayland admits the clients that show the cookie mutter wrote.
        self._x_authority = wait_until(
            lambda: glob.glob(os.path.join(self._runtime, ".mutter-Xwaylandauth.*")), 20,
            "mutter's X authority file")[0]
        # The pointer goes where the program's coordinates say: the
        # desktop's logical pixels for a Wayland client, the X server's for
        # an X11 one, which scaled mutter may make the screen's own.
        units = self.width
        if self.path == "xwayland":
            units = int(self.run(["xdotool", "getdisplaygeometry"]).stdout.split()[0])
        self._remote = InputClient([SYSTEM_PYTHON, REMOTE, f"{self.scale:g}",
                                    f"{screen[0] / units:g}"], env, self.check_alive,
                                   name="mutter_remote",
                                   log=os.path.join(self._home, "mutter_remote.log"))
        # mutter 48 and 50 drop the first motion of a new session's pointer
        # (no client hears of it; mutter 43 does not), and every mutter the
        # first key of its keyboard. A person's pointer and keyboard are
        # there before any window is; here each makes a first move of its
        # own before the program's window can be there.
        self._remote.send(f"move {units // 2} {units * self.height // self.width // 2}")
        self.key("shift")

    def _spawn(self, name, command, env, **options):
        log = os.path.join(self._home, f"{name}.log")
        with open(log, "wb") as out:
            process = subprocess.Popen(self.in_root(command), env=env, stdin=subprocess.DEVNULL,
                                       stdout=out, stderr=out, **options)
        process.log = log
        self._processes[name] = process
        return process

    def vital_processes(self):
        return list(self._processes.items())

    def _wait_for_file(self, name):
        path = os.path.join(self._runtime, name)
        wait_until(lambda: self.check_alive() or os.path.exists(path), 20, f"{path} to appear")

    def _stop(self):
        if self._remote:
            self._remote.close()
        for process in reversed(self._processes.values()):
            end_process(process)
        self._processes = {}

    def env(self, **extra):
        # Both displays, as in a session.
        return program_env(WAYLAND_DISPLAY=DISPLAY, DISPLAY=self._x_display,
                           XAUTHORITY=self._x_authority, XDG_RUNTIME_DIR=self._runtime,
                           **self.driver(), **extra)

    @property
    def _pointer(self):
        return self._remote

    def _bounds(self):
        answer = self._remote.send("geometry", want=None)
        return None if answer == "none" else tuple(int(v) for v in answer.split())

    def find_window(self, timeout=20, pid=None):
        self._shown(timeout)
        return TITLE

    def geometry(self, window):
        # An X11 client's window is where mutter put it in XWayland's root,
        # its word of now; the screen cast shows it a frame or more behind,
        # and on a busy machine far more.
        if self.path == "xwayland":
            x_window = self.x_window()
            bounds = x_window and self.x_geometry(x_window)
            if not bounds:
                raise WindowNotShown("the window is not on the screen")
            return bounds
        return super().geometry(window)

    def drag(self, window, x, y, dx, dy, steps=5, pause=0.3, pressed=None):
        left, top, _, _ = self.geometry(window)
        # mutter, like KWin, may drop the last motions of a resize while an
        # X11 window owes it a sync answer; the pointer says its place again
        # until the window stays. The bounds come from the screen cast, a
        # frame or more behind, so the window must hold still for longer
        # than that to count as settled.
        self._remote.drag(left + x, top + y, dx, dy, steps, pause, self._bounds, settle=0.25,
                          pressed=pressed)
        # The screen shows the window's last size a frame or more after
        # the release: until then its bounds are the drag's past.
        wait_until(self._still, 5, "the window to settle after the drag")

    def move_window(self, window, positions):
        # mutter moves any window that is dragged with Super held, the
        # program taking no part.
        left, top, width, height = self.geometry(window)
        grip = (width // 2, (100 + height - 15) // 2)
        self._remote.send(f"move {left + grip[0]} {top + grip[1]}")
        self._remote.send("keysym Super_L 1")
        since = self.take_overs()
        self._remote.send("button 1")
        self.wait_for_take_over(since)
        for x, y in positions:
            self._remote.send(f"move {x + grip[0]} {y + grip[1]}")
        self._remote.send("button 0")
        self._remote.send("keysym Super_L 0")

    def take_overs(self):
        # mutter anchors a drag it takes over where the pointer is when it
        # gets to it, which on a busy machine, or in a new session, can be
        # after the first motions: the window then lags behind the pointer
        # by them, or misses a short drag whole.
        return self._grabs.count()

    def key(self, keys):
        names = [MODIFIERS.get(name, name) for name in keys.split("+")]
        for name in names:
            self._remote.send(f"keysym {name} 1")
        for name in reversed(names):
            self._remote.send(f"keysym {name} 0")

    def close(self, window):
        # Alt+Tab brings a minimised window back, where Alt+F4 finds it, and
        # leaves a shown one as it is.
        self.key("alt+Tab")
        self.key("alt+F4")

    def screenshot(self, path):
        self._remote.send(f"screenshot {os.path.abspath(path)}")

    def pixel(self, x, y):
        return tuple(int(v) for v in self._remote.send(f"pixel {x} {y}", want=None).split())

    def _start_watch(self):
        # The screen cast has a frame each time mutter paints the screen.
        self._remote.send("watch")

    def _end_watch(self):
        answer = self._remote.send("watched", want=None)
        return [(float(at), *map(int, counts))
                for at, *counts in (entry.split() for entry in answer.split(";") if entry)]
