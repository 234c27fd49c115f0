"""Wayland desktops: a headless sway at one output scale, worked through one
virtual pointer and one virtual keyboard that last the whole session."""

import json
import os
import re
import subprocess

from .base import (TITLE, copy_for_all, end_process, program_env, wait_until,
                   x_display_of)
from .input_client import InputClient
from .wlroots import HEADLESS, VIRTUAL_INPUT, WlrootsDesktop

# sway refuses to run as root; as root, it runs as nobody, and so do the
# programs on it: its XWayland admits no other user.
NOBODY = 65534
AS_NOBODY = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"]

# Started on the first X11 client's connection, as in a session.
CONFIG = """\
xwayland enable
output HEADLESS-1 resolution {resolution} position 0,0 scale {scale}
default_border none
for_window [title="{title}"] floating enable
"""


def nodes(tree):
    yield tree
    for child in tree.get("nodes", []) + tree.get("floating_nodes", []):
        yield from nodes(child)


class SwayDesktop(WlrootsDesktop):
    """sway on a headless output whose layout is width x height logical
    pixels, each scale device pixels wide, in a home of its own. The program reaches it by path
    ("xwayland" or "wayland"): the one its library picks there, or, forced,
    the one it is sent down (by default the native one)."""

    maximises = False
    snaps = {}  # a floating window dragged to an edge stays where it is let go
    # The driver's sway binds no keys; the configuration its users start
    # with binds Super and the arrows to moving the focus, not the window.
    desktop_keys = {}
    hides_on_minimise = False

    def __init__(self, record):
        super().__init__(record)
        self.tools = ("swaymsg", "grim", VIRTUAL_INPUT)
        self.servers = ("sway", "setpriv", "Xwayland")
        self._sway = self._input = self._home = None
        self._x_display = self._version = None

    @property
    def reports_minimise(self):
        # sway has no minimised state, and refuses the focused X11 window's
        # request, so the library says nothing there. sway 1.7 offers
        # xdg-shell version 2, which lists no window-management
        # capabilities: the library asks for a minimised Wayland window and
        # says it is one all the same. sway 1.10 offers version 5 and lists
        # its capabilities, minimising not among them: the library asks
        # nothing and says nothing.
        return self.path == "wayland" and self.version() < (1, 8)

    def version(self):
        """sway's version, as (major, minor)."""
        if self._version is None:
            said = subprocess.run(self.in_root(["sway", "--version"]), capture_output=True,
                                  text=True, check=True, timeout=30).stdout
            self._version = tuple(int(n) for n in re.search(r"(\d+)\.(\d+)", said).groups())
        return self._version

    def _start(self):
        self._home = self.scratch_directory("window-test-sway-")
        top = self._home
        os.chmod(top, 0o711)  # for nobody to reach its own directories
        self._runtime = os.path.join(top, "runtime")
        self._user_home = home = os.path.join(top, "home")
        for path in (self._runtime, home):
            os.mkdir(path, 0o700)
            if os.geteuid() == 0:
                os.chown(path, NOBODY, NOBODY)
        config = os.path.join(top, "config")
        with open(config, "w") as file:
            file.write(CONFIG.format(
                resolution=f"{round(self.width * self.scale)}x{round(self.height * self.scale)}",
                scale=self.scale, title=TITLE))
        self.log_path = os.path.join(top, "sway.log")
        command = ["sway", "--config", config]
        if os.geteuid() == 0:
            command = AS_NOBODY + command
        with open(self.log_path, "wb") as log:
            self._sway = subprocess.Popen(
                self.in_root(command), stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                env=program_env(HOME=home, XDG_RUNTIME_DIR=self._runtime, **HEADLESS))

        def sockets():
            self.check_alive()
            names = os.listdir(self._runtime)
            display = [n for n in names if n.startswith("wayland-") and "." not in n]
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            return (display[0], ipc[0]) if display and ipc else None
        self._display, ipc = wait_until(sockets, 20, "sway's sockets")
        self._ipc = os.path.join(self._runtime, ipc)
        self._x_display = wait_until(lambda: self.check_alive() or x_display_of(self._sway.pid),
                                     20, "sway's X display")
        wait_until(self._output_ready, 20, "sway's output")
        if os.geteuid() == 0:
            # Its XWayland admits root too, which reads the pointer's shape there.
            subprocess.run(AS_NOBODY + ["xhost", "+si:localuser:root"], env=self.env(),
                           capture_output=True, check=True, timeout=30)

        self._input = InputClient([VIRTUAL_INPUT, str(self.width), str(self.height)],
                                  self.env(), self.check_alive)

    def _output_ready(self):
        outputs = json.loads(self.swaymsg("-t", "get_outputs"))
        return any(o["rect"]["width"] == self.width and o["rect"]["height"] == self.height
                   for o in outputs)

    def _stop(self):
        if self._input:
            self._input.close()
        end_process(self._sway)

    def vital_processes(self):
        return [("sway", self._sway)]

    def env(self, **extra):
        # Both displays, as in a session.
        return program_env(WAYLAND_DISPLAY=self._display, DISPLAY=self._x_display,
                           XDG_RUNTIME_DIR=self._runtime, HOME=self._user_home,
                           SWAYSOCK=self._ipc, **self.driver(), **extra)

    def command(self, args):
        if os.geteuid() != 0:
            return self.in_root(args)
        if self.root:
            return self.in_root(AS_NOBODY + args)
        # nobody may not reach a build that root keeps in its home.
        program, libraries = copy_for_all(args[0], os.path.join(self._home, "programs"))
        return AS_NOBODY + ["env", f"LD_LIBRARY_PATH={libraries}", program, *args[1:]]

    def swaymsg(self, *args):
        result = self.run(["swaymsg", "--raw", *args], check=False)
        if result.returncode:
            self.check_alive()
            raise RuntimeError(f"swaymsg {' '.join(args)}: {result.stdout}{result.stderr}")
        return result.stdout

    def _nodes(self, predicate):
        return [n for n in nodes(json.loads(self.swaymsg("-t", "get_tree"))) if predicate(n)]

    def _node(self, predicate):
        return next(iter(self._nodes(predicate)), None)

    def find_window(self, timeout=20, pid=None):
        # The newest, should an earlier program's window still be open.
        def find():
            return max((n["id"] for n in self._nodes(lambda n: n.get("name") == TITLE
                                                     and n.get("visible"))), default=None)
        return wait_until(find, timeout, "the program's window to be shown")

    def geometry(self, window):
        node = self._node(lambda n: n["id"] == window)
        if node is None:
            raise AssertionError(f"window {window} is not managed")
        rect = node["rect"]
        return rect["x"], rect["y"], rect["width"], rect["height"]

    def window_path(self, window):
        shell = self._node(lambda n: n["id"] == window)["shell"]
        return "xwayland" if shell == "xwayland" else "wayland"

    def window_hidden(self, window):
        return not self._node(lambda n: n["id"] == window)["visible"]

    def focus(self, window, timeout=20):
        self.swaymsg(f"[con_id={window}]", "focus")
        wait_until(lambda: self._node(lambda n: n["id"] == window and n["focused"]), timeout,
                   "the window to take the focus")

    def drag(self, window, x, y, dx, dy, steps=5, pause=0.3, pressed=None):
        left, top, _, _ = self.geometry(window)
        x, y = left + x, top + y

        # sway 1.7 takes the size of every frame the program commits, so a
        # frame of an older size that comes after the last step undoes it;
        # the pointer says its place again until the window stays.
        self._input.drag(x, y, dx, dy, steps, pause, lambda: self.geometry(window), pressed=pressed)

    def move_window(self, window, positions):
        # One message with every move, as one burst; sway answers each.
        replies = json.loads(self.swaymsg(";".join(f"[con_id={window}] move position {x} {y}"
                                                   for x, y in positions)))
        return sum(1 for reply in replies if reply.get("success"))

    def close(self, window):
        self.swaymsg(f"[con_id={window}]", "kill")
