"""weston, the reference compositor, with its XWayland. Headless, it has no
seat at all; its VNC backend makes one for each remote-access client, so
the desktop runs there and is worked, and seen, through one VNC connection
(vnc_input.py). weston has no IPC, so the window is found where the screen
shows its grey: one program window at a time."""

import os
import socket
import subprocess
import sys

from .base import (TITLE, Desktop, end_process, grey_bounds, program_env,
                   wait_until, x_display_of)
from .elsewhere_wayland import ElsewhereOnWayland
from .input_client import InputClient
from .root import unmount
from .seen_on_screen import SeenOnScreen, drag_with_super
from .shape_wayland import PointsOnWayland

VNC_INPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "clients", "vnc_input.py")
# No panel, so that a maximised window takes the screen, and a background
# that is not the window's grey.
CONFIG = """\
[shell]
panel-position=none
background-color=0xff204060
locking=false
"""
# weston's remote-access login goes through this PAM service; for the
# session's client, it lets the compositor's own user in without a password.
PAM_SERVICE = "/etc/pam.d/weston-remote-access"
PAM_PERMIT = "auth sufficient pam_permit.so\naccount sufficient pam_permit.so\n"
USER = "root"
# With the VNC backend's log scope on, weston logs each frame it hands the
# VNC server (its damage): until the first, the server has no
# picture, and a connection then is refused on a path that can crash weston
# (a double free).
FRAME = "[vnc-backend] damage:"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class WestonDesktop(PointsOnWayland, ElsewhereOnWayland, SeenOnScreen, Desktop):
    """weston's desktop shell on a VNC output of width x height, in a home of
    its own, run by root. The program reaches it by path ("wayland" or
    "xwayland"): the one its library picks there, or, forced, the one it is
    sent down."""

    tools = ("openssl", "xdotool", "convert")
    # Nothing in weston's shell asks a window to close: no button, binding
    # or client of its own.
    closes_windows = False
    exclusive = "weston_login"
    servers = ("weston", "Xwayland")

    def __init__(self, record):
        super().__init__(record)
        self._weston = self._input = self._home = None

    def _start(self):
        self._home = self.scratch_directory("window-test-weston-")
        top = self._home
        self._runtime = os.path.join(top, "runtime")
        os.mkdir(self._runtime, 0o700)
        config = os.path.join(top, "weston.ini")
        with open(config, "w") as file:
            file.write(CONFIG)
        # The VNC backend serves only over TLS: a certificate of its own.
        key, cert = os.path.join(top, "key.pem"), os.path.join(top, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=localhost", "-keyout", key, "-out", cert],
                       capture_output=True, check=True, timeout=60)
        pam = os.path.join(top, "pam")
        with open(pam, "w") as file:
            file.write(PAM_PERMIT)
        target = self.root.path + PAM_SERVICE
        subprocess.run(["mount", "--bind", pam, target], check=True, timeout=60)
        self.after_processes(unmount, [target])
        port = free_port()
        self.log_path = os.path.join(top, "weston.log")
        with open(self.log_path, "wb") as log:
            self._weston = subprocess.Popen(
                self.in_root(["weston", "--backend=vnc", f"--config={config}", "--xwayland",
                              "--logger-scopes=log,vnc-backend",
                              "--socket=wayland-0", "--address=127.0.0.1", f"--port={port}",
                              f"--width={self.width}", f"--height={self.height}",
                              f"--vnc-tls-cert={cert}", f"--vnc-tls-key={key}"]),
                stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                env=program_env(HOME=top, XDG_RUNTIME_DIR=self._runtime))
        wait_until(lambda: self.check_alive() or os.path.exists(os.path.join(self._runtime,
                                                                        "wayland-0")),
                   20, "weston's socket")
        self._x_display = wait_until(lambda: self.check_alive() or x_display_of(self._weston.pid), 20,
                                     "weston's X display")
        wait_until(lambda: self.check_alive() or FRAME in self.log(), 20,
                   "weston's first frame")
        self._input = InputClient([sys.executable, VNC_INPUT, str(port), USER], self.env(),
                                  self.check_alive, name="vnc_input",
                                  log=os.path.join(top, "vnc_input.log"))


    def _stop(self):
        if self._input:
            self._input.close()
        end_process(self._weston)

    def vital_processes(self):
        return [("weston", self._weston)]

    def log_end(self, process, size=2000):
        # Without its lines on frames.
        lines = [line for line in self.log().splitlines(keepends=True) if FRAME not in line]
        return "".join(lines)[-size:]

    def env(self, **extra):
        # Both displays, as in a session.
        return program_env(WAYLAND_DISPLAY="wayland-0", DISPLAY=self._x_display,
                           XDG_RUNTIME_DIR=self._runtime, **self.driver(), **extra)

    def _screen(self):
        """The screen as (width, height, RGB bytes)."""
        path = os.path.join(self._home, "screen.ppm")
        self._input.send(f"screen {path}")
        with open(path, "rb") as picture:
            width, height, _ = picture.readline().split()[1:]
            return int(width), int(height), picture.read()

    def _bounds(self):
        return grey_bounds(*self._screen())

    def find_window(self, timeout=20, pid=None):
        x, y, width, height = self._shown(timeout)
        # weston puts a new window anywhere, even where a drag or two takes
        # it off the screen; it is moved to the middle, where the other
        # desktops put it.
        middle = ((self.width - width) // 2, (self.height - height) // 2)
        if (x, y) != middle:
            self.move_window(TITLE, [middle])
            wait_until(lambda: self._still() == [(*middle, width, height)], timeout,
                       "the window to be moved to the middle")
        return TITLE

    def drag(self, window, x, y, dx, dy, steps=5, pause=0.3, pressed=None):
        left, top, _, _ = self.geometry(window)
        self._input.drag(left + x, top + y, dx, dy, steps, pause, self._bounds, pressed=pressed)

    def move_window(self, window, positions):
        drag_with_super(self._input, self.geometry(window), positions)

    def key(self, keys):
        self._input.send(f"key {keys}")

    def screenshot(self, path):
        width, height, pixels = self._screen()
        subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "rgb:-", path],
                       input=pixels, check=True, timeout=30)

    def pixel(self, x, y):
        width, _, pixels = self._screen()
        at = 3 * (y * width + x)
        return tuple(pixels[at:at + 3])
