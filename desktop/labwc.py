"""labwc, a stacking compositor on wlroots, headless with its XWayland. It
has no IPC: its windows are known as a taskbar knows them (the toplevels
client), and where they are from XWayland's tree for an X11 client, or from
the screen's picture for a Wayland one."""

import os
import subprocess

from .base import (TITLE, WindowNotShown, end_process, grey_bounds, program_env,
                   wait_until, x_display_of)
from .day import TILES_AT_EDGES
from .input_client import InputClient, client_path
from .seen_on_screen import drag_with_super
from .wlroots import HEADLESS, VIRTUAL_INPUT, WlrootsDesktop

TOPLEVELS = client_path("toplevels")
# labwc loads all its default key bindings unless one is given; this is the
# only one kept, so that no other key is taken from the program.
CONFIG = """\
<?xml version="1.0"?>
<labwc_config>
  <keyboard>
    <keybind key="A-F4"><action name="Close"/></keybind>
  </keyboard>
</labwc_config>
"""
OUTPUT = "HEADLESS-1"
class LabwcDesktop(WlrootsDesktop):
    """labwc on a headless output of width x height, in a home of its own.
    The program reaches it by path ("xwayland" or "wayland"): the one its
    library picks there, or, forced, the one it is sent down (by default the
    native one). A Wayland window is found as the grey of the screen: one at
    a time."""

    tools = ("grim", "xdotool", VIRTUAL_INPUT, TOPLEVELS)
    servers = ("labwc", "Xwayland", "wlr-randr")
    # Out of maximised, as its own title bar is; its top band resizes the
    # maximised window; it snaps a window dragged to an edge; its default
    # keys for a window act on none here.
    drags_out_of_maximised = "restored"
    maximised_top_row = "resized"
    snaps = TILES_AT_EDGES
    desktop_keys = {}

    def __init__(self, record):
        super().__init__(record)
        self._labwc = self._toplevels = self._home = self._x_display = None
        self._x_windows = {}  # toplevel number: X window, for an X11 client's

    def _start(self):
        self._home = self.scratch_directory("window-test-labwc-")
        top = self._home
        self._runtime = os.path.join(top, "runtime")
        os.mkdir(self._runtime, 0o700)
        config = os.path.join(top, "config")
        os.mkdir(config)
        with open(os.path.join(config, "rc.xml"), "w") as file:
            file.write(CONFIG)
        self.log_path = os.path.join(top, "labwc.log")
        with open(self.log_path, "wb") as log:
            self._labwc = subprocess.Popen(
                self.in_root(["labwc", "--config-dir", config]), stdin=subprocess.DEVNULL,
                stdout=log, stderr=log,
                env=program_env(HOME=top, XDG_RUNTIME_DIR=self._runtime, **HEADLESS))

        def socket():
            self.check_alive()
            names = [n for n in os.listdir(self._runtime)
                     if n.startswith("wayland-") and "." not in n]
            return names[0] if names else None
        self._display = wait_until(socket, 20, "labwc's socket")
        self._x_display = wait_until(lambda: self.check_alive() or x_display_of(self._labwc.pid),
                                     20, "labwc's X display")
        # The headless output comes at wlroots' default size.
        self._randr("--output", OUTPUT, "--custom-mode", f"{self.width}x{self.height}",
                    "--pos", "0,0")
        wait_until(lambda: f"{self.width}x{self.height} px" in self._randr(), 20,
                   "labwc's output to take its size")
        self._input = InputClient([VIRTUAL_INPUT, str(self.width), str(self.height)],
                                  self.env(), self.check_alive)
        self._toplevels = InputClient([TOPLEVELS], self.env(), self.check_alive)

    def _randr(self, *args):
        result = subprocess.run(self.in_root(["wlr-randr", *args]), env=self.env(),
                                capture_output=True, text=True, timeout=30)
        if result.returncode:
            self.check_alive()
            raise RuntimeError(f"wlr-randr {' '.join(args)}: {result.stderr.strip()}")
        return result.stdout

    def _stop(self):
        for client in (self._toplevels, self._input):
            if client:
                client.close()
        end_process(self._labwc)

    def vital_processes(self):
        return [("labwc", self._labwc)]

    def env(self, **extra):
        # Both displays, as in a session.
        return program_env(WAYLAND_DISPLAY=self._display, DISPLAY=self._x_display,
                           XDG_RUNTIME_DIR=self._runtime, **self.driver(), **extra)

    def _bounds(self, window):
        """Where the window is, or None while it is not on the screen."""
        x_window = self._x_windows.get(window)
        if x_window is None:
            return grey_bounds(*self.grim())
        return self.x_geometry(x_window)

    def find_window(self, timeout=20, pid=None):
        def find():
            answer = self._toplevels.send(f"find {TITLE}", want=None)
            if answer == "none":
                return None
            window = int(answer)
            self._x_windows[window] = self.x_window()
            return window if self._bounds(window) else None
        return wait_until(find, timeout, "the program's window to be shown")

    def geometry(self, window):
        bounds = self._bounds(window)
        if bounds is None:
            raise WindowNotShown("the window is not on the screen")
        return bounds

    def window_path(self, window):
        return "wayland" if self._x_windows.get(window) is None else "xwayland"

    def _states(self, window):
        return self._toplevels.send(f"state {window}", want=None).split(",")

    def window_hidden(self, window):
        return "minimized" in self._states(window)

    def focus(self, window, timeout=20):
        self._toplevels.send(f"activate {window}")
        wait_until(lambda: "activated" in self._states(window), timeout,
                   "the window to take the focus")

    def drag(self, window, x, y, dx, dy, steps=5, pause=0.3, pressed=None):
        left, top, _, _ = self.geometry(window)
        self._input.drag(left + x, top + y, dx, dy, steps, pause, lambda: self.geometry(window),
                         pressed=pressed)

    def move_window(self, window, positions):
        drag_with_super(self._input, self.geometry(window), positions)

    def close(self, window):
        self._toplevels.send(f"close {window}")
