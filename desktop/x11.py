"""X11 desktops: Xvfb with one of the window managers people use, driven
through XTEST (xdotool) and the window manager's own hints (wmctrl)."""

import contextlib
import os
import re
import shutil
import signal
import struct
import subprocess
import time

from . import xlib
from .decorated_x11 import DecoratedWindow
from .base import CLICK_GAP, TITLE, Desktop, end_process, log_tail, program_env, wait_until
from .clients import screen_frames
from .grab_log import GrabLog
from .day import TILES_AT_EDGES

# The root window's colour, a wallpaper's stand-in: neither the window's
# grey nor the black of a window not yet painted.
BACKGROUND = 0x3465A4
# How each window manager is started on a display of its own. Those of the
# big desktops keep their settings behind D-Bus, and read them through
# GSettings from schemas of their environment's settings daemon (marco's
# mouse, muffin's touchscreen): each gets a session bus and starts with its
# defaults, compositing included. xfwm4 ends without a bus.
WINDOW_MANAGERS = {
    "openbox": ["openbox", "--sm-disable"],
    "xfwm4": ["dbus-run-session", "--", "xfwm4", "--compositor=off", "--sm-client-disable"],
    "fluxbox": ["fluxbox"],
    "icewm": ["icewm"],
    "metacity": ["dbus-run-session", "--", "metacity"],
    "kwin": ["dbus-run-session", "--", "kwin_x11"],
    "marco": ["dbus-run-session", "--", "marco"],
    "muffin": ["dbus-run-session", "--", "muffin"],
    "mutter": ["dbus-run-session", "--", "mutter", "--x11"],
    "i3": ["i3"],
    "i3-tiled": ["i3"],
    "awesome": ["awesome"],
    "herbstluftwm": ["herbstluftwm"],
    "jwm": ["jwm"],
}
# i3 with the configuration its first start writes for a user (the default,
# with its bar), and with the rule its users add for a window that wants to
# float.
I3_CONFIG = ".config/i3/config"
I3_DEFAULT = "include /etc/i3/config\n"
# Files a window manager finds in its home. fluxbox would otherwise set a
# wallpaper, or pop up a message over the screen when that fails.
# herbstluftwm runs a script of its users' (one that starts with "#!", made
# executable): here the one it ships, with the rule that floats the window.
HERBSTLUFTWM_CONFIG = ".config/herbstluftwm/autostart"
HERBSTLUFTWM_DEFAULT = "#!/bin/sh\n. /etc/xdg/herbstluftwm/autostart\n"
HOME_FILES = {
    "fluxbox": {".fluxbox/overlay": "background: none\n"},
    "i3-tiled": {I3_CONFIG: I3_DEFAULT},
    "i3": {I3_CONFIG: I3_DEFAULT + f'for_window [title="^{TITLE}$"] floating enable\n'},
    "herbstluftwm": {HERBSTLUFTWM_CONFIG: HERBSTLUFTWM_DEFAULT
                     + f"herbstclient rule title='{TITLE}' floating=on\n"},
}
# What a window manager does differently (the Desktop attributes). icewm
# keeps a window that leaves fullscreen at the screen's size. i3 knows no
# maximised or minimised window, and leaves one as it is on those requests;
# it takes no side from a resize request, but resizes a floating window from
# the corner nearest the pointer (a left band's drag moves the top too). It
# replays presses (below).
I3_TRAITS = {"maximises": False, "reports_minimise": False, "hides_on_minimise": False,
             "resizes_by_band": False, "replays_presses": True}
# Window managers that wait for the program's frame of each new size while
# they resize (the _NET_WM_SYNC_REQUEST the library asks for) and take no
# motion meanwhile: kwin_x11 drops it, and mutter and muffin end the resize
# at a release that comes before that frame.
WAITING_TRAITS = {"waits_for_frames": True}
# mutter and its fork muffin log each drag they take over, when asked to
# (below): like mutter on Wayland, they anchor it where the pointer is when
# they get to the program's request, and end it at a release that comes
# first, which on a busy machine loses a short drag whole.
GRAB_LOGGING_TRAITS = {**WAITING_TRAITS, "logs_grabs": True}
# Window managers that hold a synchronous button grab on the focused window
# (or its frame): the pointer stands still at each press until they have
# replayed it to the window, and a drag handed over before that replay is
# lost. icewm, metacity, marco, muffin, kwin_x11 and mutter hold none there.
REPLAYING_TRAITS = {"replays_presses": True}
# awesome does not act on the library's request to move or resize a
# window (_NET_WM_MOVERESIZE): there is an open request for it.
IGNORING_TRAITS = {"takes_move_requests": False}
# herbstluftwm, too, resizes a floating window from the corner nearest the
# pointer, whatever the side the request names, and from the bottom and
# right one for a press on the middle line; it leaves a floating window's
# size as it is on M.
HERBSTLUFTWM_TRAITS = {"resizes_by_band": False, "middle_pulls_top_left": False,
                       "maximises": False}
# A maximised window's top row is the top band: openbox, xfwm4 and kwin_x11
# take it out of maximised and resize it from the top, mutter takes no
# resize of a maximised window. kwin_x11 draws no title bar of its own
# without a decoration theme, so what its drags do is written down here.
RESIZES_MAXIMISED = {"maximised_top_row": "resized"}
KWIN_TRAITS = {**WAITING_TRAITS, **RESIZES_MAXIMISED, "drags_out_of_maximised": "restored",
               "snaps": TILES_AT_EDGES, "quarters_jump": True}
TRAITS = {
    "awesome": IGNORING_TRAITS,
    "herbstluftwm": HERBSTLUFTWM_TRAITS,
    "openbox": {**REPLAYING_TRAITS, **RESIZES_MAXIMISED},
    "xfwm4": {**REPLAYING_TRAITS, **RESIZES_MAXIMISED},
    "fluxbox": REPLAYING_TRAITS,
    "icewm": {"restores_after_fullscreen": False},
    "metacity": {"resizes_tiled": False},
    "marco": {"resizes_tiled": False},
    "i3": I3_TRAITS,
    "i3-tiled": I3_TRAITS,
    "kwin": KWIN_TRAITS,
    "muffin": {**GRAB_LOGGING_TRAITS, "moves_tiled_on_resize": True},
    "mutter": {**GRAB_LOGGING_TRAITS, "maximised_top_row": "unchanged"},
}

# The current desktop's line of "wmctrl -d": "0  * DG: ...  WA: 0,0 1280x998  ...",
# or "WA: N/A" where the window manager sets none (kwin_x11, i3): a maximised
# window takes the screen there.
WORK_AREA = re.compile(r"^\d+\s+\*.*\sWA: (?:\S+ (\d+)x(\d+)|N/A)", re.MULTILINE)


# On those window managers: how long the hand is on its way to a drag's
# start, where it presses (a hand takes a moment from letting go of one drag
# to pressing for the next; a window manager that has taken a drag keeps a
# press that comes before it has handled the release, and muffin took 0.15 s
# for that on a busy machine); and how long it rests at the end of a drag
# before it says its place again, and how many times at most (longer than
# the program takes for a frame of a new size on a busy machine).
TRAVEL = 0.2
REST = 0.15
REST_TRIES = 10


def steps_of(distance, steps):
    """A distance cut into whole steps that add up to it exactly."""
    return [distance * (i + 1) // steps - distance * i // steps for i in range(steps)]


class X11Desktop(Desktop):
    """Xvfb with a window manager, each in a home of its own."""

    holds_keys = True
    focuses_elsewhere = True
    points = True
    watches_screen = True
    waits_for_frames = False
    replays_presses = False
    logs_grabs = False

    def __init__(self, record):
        super().__init__(record)
        self.window_manager = window_manager = record.desktop
        vars(self).update(TRAITS.get(window_manager, {}))
        self._wm_command = WINDOW_MANAGERS[window_manager]
        self.tools = ("xdotool", "wmctrl", "xprop", "import")
        # The window manager first: it is what the desktop is.
        self.servers = (*(word for word in self._wm_command[::-1] if not word.startswith("-")),
                        "Xvfb")
        self._xvfb = self._wm = self._home = self._bystander = self._grabs = None
        self.display = None

    def _start(self):
        self._home = self.scratch_directory("window-test-x11-")
        # A session's private runtime directory, as a desktop login provides.
        self._runtime = os.path.join(self._home, "runtime")
        os.mkdir(self._runtime, 0o700)
        for name, text in HOME_FILES.get(self.window_manager, {}).items():
            path = os.path.join(self._home, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as out:
                out.write(text)
            if text.startswith("#!"):
                os.chmod(path, 0o755)
        read_fd, write_fd = os.pipe()
        xvfb_log = os.path.join(self._home, "xvfb.log")
        with open(xvfb_log, "wb") as log:
            # Without -noreset a client was now and then turned away at start
            # (the window manager, or the program): the server starts anew
            # whenever its last client has gone.
            self._xvfb = subprocess.Popen(self.in_root(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                 f"{self.width}x{self.height}x24", "-fbdir", self._home, "-nolisten", "tcp",
                 "-noreset"]), pass_fds=[write_fd], stdout=log, stderr=log)
        self._xvfb.log = xvfb_log
        os.close(write_fd)
        with os.fdopen(read_fd) as displayfd:
            number = displayfd.readline().strip()
        if not number:
            raise RuntimeError(f"Xvfb did not start: {log_tail(xvfb_log)}")
        self.display = f":{number}"
        xlib.set_background(self.display, BACKGROUND)
        # Its own process group, so that what it starts (a session bus and
        # the services it activates) ends with it.
        wm_log = self.log_path = os.path.join(self._home, "window-manager.log")
        # They log window operations only with everything else.
        debug = {"MUTTER_DEBUG": "window-ops", "MUTTER_VERBOSE": "1"} if self.logs_grabs else {}
        with open(wm_log, "wb") as log:
            self._wm = subprocess.Popen(self.in_root(self._wm_command),
                                        env=self.env(HOME=self._home, NO_AT_BRIDGE="1",
                                                     **debug),
                                        stdout=log, stderr=log, start_new_session=True)
        if self.logs_grabs:
            self._grabs = GrabLog(wm_log)
        # Managing, and with its work area set.
        wait_until(lambda: self.check_alive() or self.work_area(), 20,
                   f"{self.name} to manage the display")

    def _stop(self):
        if self._bystander:
            self._bystander.close()
        end_process(self._wm)
        end_process(self._xvfb)

    def vital_processes(self):
        return [(self.window_manager, self._wm), ("Xvfb", self._xvfb)]

    def env(self, **extra):
        return program_env(DISPLAY=self.display, XDG_RUNTIME_DIR=self._runtime, **extra)

    def take_overs(self):
        return self._grabs.count() if self._grabs else None

    def xdotool(self, *args):
        return self.run(["xdotool", *map(str, args)]).stdout

    def find_window(self, timeout=20, pid=None):
        def find():
            found = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$"],
                             check=False).stdout.split()
            return int(found[0]) if found else None
        return wait_until(find, timeout, "the program's window to be shown")

    def geometry(self, window):
        # Not wmctrl's: it adds a window's place in its parent to its place
        # on the screen, which doubles it where the window manager leaves a
        # window without a frame as the root's child (metacity, marco, muffin,
        # mutter).
        return self._then_geometry(window)[1]

    def _then_geometry(self, window, *args):
        """Runs xdotool with args, then reads the window's geometry in the
        same run: (what args printed, the first value of each name; the
        geometry)."""
        result = self.run(["xdotool", *map(str, args), "getwindowgeometry", "--shell",
                           str(window)], check=False)
        fields = [line.split("=", 1) for line in result.stdout.split()]
        printed, geometry = dict(reversed(fields)), dict(fields)
        if result.returncode != 0 or "HEIGHT" not in geometry:
            raise AssertionError(f"window {window:#x} is gone: {result.stderr.strip()}")
        return printed, tuple(int(geometry[name]) for name in ("X", "Y", "WIDTH", "HEIGHT"))

    def window_hidden(self, window):
        # The window manager's word: iconic by ICCCM, or hidden by EWMH.
        state = self.run(["xprop", "-id", str(window), "WM_STATE", "_NET_WM_STATE"],
                         check=False).stdout
        return "window state: Iconic" in state or "_NET_WM_STATE_HIDDEN" in state

    def work_area(self):
        match = WORK_AREA.search(self.run(["wmctrl", "-d"], check=False).stdout)
        if not match:
            return None
        return (int(match[1]), int(match[2])) if match[1] else (self.width, self.height)

    def focus(self, window, timeout=20):
        # A window that is shown but not yet managed cannot be activated yet.
        wait_until(lambda: self.run(["xdotool", "windowactivate", "--sync", str(window)],
                                    check=False).returncode == 0,
                   timeout, "the window to take the focus")

    def focus_elsewhere(self):
        # In the screen's top right corner, clear of where the window
        # managers place the program's window and of its drags.
        if not self._bystander:
            self._bystander = xlib.Bystander(self.display, self.width - 240, 40)
        self.focus(self._bystander.window)
        # The X server's focus, whose change it told the program's window
        # of as it made it.
        wait_until(lambda: self.focused_window() == self._bystander.window, 10,
                   "the other window to take the focus")

    def focused_window(self):
        """The X window that has the focus, or None: a focused window that
        is gone leaves the focus to none, which xdotool reports as failure."""
        found = self.run(["xdotool", "getwindowfocus"], check=False).stdout.split()
        return int(found[0]) if found else None

    def point(self, window, x, y):
        self.xdotool("mousemove", "--window", window, x, y)

    def pointer_shape(self, program):
        return xlib.cursor_name(self.display)

    def click(self, window, x, y, button=1, count=1):
        self.xdotool("mousemove", "--window", window, x, y, "click", "--repeat", count,
                     "--delay", round(CLICK_GAP * 1000), button)

    def pointer_held(self):
        return xlib.pointer_held(self.display)

    def drag(self, window, x, y, dx, dy, steps=5, pause=0.3, pressed=None):
        # One xdotool run up to the last motion, so that the pauses are the
        # drag's own; two where the program is waited for after the press.
        travel = ["sleep", TRAVEL] if self.waits_for_frames else []
        args = ["mousemove", "--window", window, x, y, *travel, "mousedown", 1, "sleep", pause]
        if pressed:
            self.xdotool(*args)
            pressed()
            args = []
        for sx, sy in zip(steps_of(dx, steps), steps_of(dy, steps)):
            args += ["mousemove_relative", "--", sx, sy, "sleep", 0.02]
        if not self.waits_for_frames:
            self.xdotool(*args, "mouseup", 1)
            return
        end, before = self._then_geometry(window, *args, "getmouselocation", "--shell")
        # The hand comes to rest before it lets go, and its place is said
        # again after each rest, as a resting hand's small motions do, until
        # the window has kept its geometry through a rest.
        for _ in range(REST_TRIES):
            time.sleep(REST)
            after = self._then_geometry(window, "mousemove", end["X"], end["Y"])[1]
            if after == before:
                break
            before = after
        self.xdotool("mouseup", 1)

    def drag_on_screen(self, x, y, dx, dy, steps=5, pause=0.3):
        # A window manager's own title bar: no program to wait for.
        args = ["mousemove", x, y, "sleep", TRAVEL, "mousedown", 1, "sleep", pause]
        for sx, sy in zip(steps_of(dx, steps), steps_of(dy, steps)):
            args += ["mousemove_relative", "--", sx, sy, "sleep", 0.02]
        self.xdotool(*args, "sleep", REST, "mouseup", 1)
        self.wait_for_window_manager()

    def decorated_window(self):
        return DecoratedWindow(self)

    def move_window(self, window, positions):
        args = []
        for x, y in positions:
            args += ["windowmove", window, x, y]
        self.xdotool(*args)

    @contextlib.contextmanager
    def window_manager_held(self):
        """A context in which the window manager, and all it started, stands
        still, while the X server queues what it sends it."""
        os.killpg(self._wm.pid, signal.SIGSTOP)
        try:
            yield
        finally:
            os.killpg(self._wm.pid, signal.SIGCONT)

    def wait_for_window_manager(self, timeout=10):
        """Waits until the window manager has handled all the X server sent it
        before the call."""
        xlib.wait_for_window_manager(self.display, timeout)

    def key(self, keys):
        self.xdotool("key", keys)

    @contextlib.contextmanager
    def key_held(self, key):
        # The server repeats a key held through XTEST as it does a real one:
        # here first after a second and then each second, so that what
        # happens to the window between two repeats has time to be seen.
        self.run(["xset", "r", "rate", "1000", "1"])
        self.xdotool("keydown", key)
        try:
            yield
        finally:
            self.xdotool("keyup", key)

    def set_keyboard_layout(self, layout):
        return (shutil.which("setxkbmap") is not None
                and self.run(["setxkbmap", layout], check=False).returncode == 0)

    def close(self, window):
        self.run(["wmctrl", "-i", "-c", hex(window)])

    def unmaximise(self, window):
        self.run(["wmctrl", "-i", "-r", hex(window), "-b", "remove,maximized_vert,maximized_horz"])

    def drag_from_vanished_source(self, window):
        xlib.drag_from_vanished_source(self.display, window)
        return True

    def screenshot(self, path):
        self.run(["import", "-window", "root", path])

    def _screen_file(self):
        """The screen Xvfb keeps in a file, an XWD image of 32 bits a pixel:
        the file, where its pixels start, the bytes of a row, the width, the
        height and whether blue comes first."""
        path = os.path.join(self._home, "Xvfb_screen0")
        with open(path, "rb") as screen:
            header = screen.read(100)
        order = ">" if struct.unpack(">I", header[:4])[0] < 0x10000 else "<"
        fields = struct.unpack(order + "25I", header)
        header_size, width, height, byte_order, stride, colours = (
            fields[0], fields[4], fields[5], fields[7], fields[12], fields[19])
        return path, header_size + 12 * colours, stride, width, height, byte_order == 0

    def pixel(self, x, y):
        # Straight from Xvfb's file: a millisecond, where a screenshot takes tens.
        path, start, stride, _, _, blue_first = self._screen_file()
        with open(path, "rb") as screen:
            value = os.pread(screen.fileno(), 4, start + y * stride + 4 * x)
        return (value[2], value[1], value[0]) if blue_first else tuple(value[1:4])

    def _start_watch(self):
        # Without a compositor's frames to wait on, the file is read over
        # and over: what it holds is what the screen shows.
        path, start, stride, width, height, _ = self._screen_file()
        self._watch_ends = contextlib.ExitStack()
        screen = self._watch_ends.enter_context(open(path, "rb"))
        self._watch_ends.enter_context(xlib.cursor_hidden(self.display))
        self._watch = screen_frames.Watch()

        def take():
            self._watch.add(width, stride, os.pread(screen.fileno(), stride * height, start))
        take()
        self._watch.follow(lambda: (time.sleep(0.005), take()))

    def _end_watch(self):
        self._watch.finish()
        self._watch_ends.close()
        # The window manager's word on where the window is: a bar may show
        # the same grey elsewhere (i3's).
        return self._watch.summary(self.geometry(self.find_window()))
