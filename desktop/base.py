"""What every kind of virtual desktop offers the tests, the tour and the
measurement, and the helpers its backends share."""

import contextlib
import glob
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

from .clients import screen_frames
from .descendants import become_subreaper, descendants, end_descendants, group_running
from .package_version import package_version
from .root import Root

# The program's window's title, by which the desktops find it.
TITLE = "Window test"
# Between the two clicks of a double-click: a hand's pace, well inside the
# double-click time of every desktop (400 ms or more by default).
CLICK_GAP = 0.1


def wait_until(predicate, timeout, what):
    """The predicate's first true value, polled until timeout. On expiry it
    polls on to twice the time, so that the error says whether the state came
    late (and how late) or never: a slow desktop, or a lost gesture."""
    start = time.monotonic()
    while True:
        value = predicate()
        elapsed = time.monotonic() - start
        if value and elapsed <= timeout:
            return value
        if value:
            raise AssertionError(f"timed out waiting for {what}: it came late, after "
                                 f"{elapsed:.2f} s of the {timeout:g} s allowed")
        if elapsed > 2 * timeout:
            raise AssertionError(f"timed out waiting for {what}: it never came, "
                                 f"not even within {2 * timeout:g} s")
        time.sleep(0.02)


# The base folders of a user's files, which the caller's environment may
# name (XDG_CACHE_HOME=$(mktemp -d) ./test): in a desktop they follow the
# home its processes are given, or their root's, so that no two releases'
# libraries (Mesa's shader cache, KDE's caches) write one folder at once.
BASE_FOLDERS = ("XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME")


def program_env(**extra):
    """The environment less any display and base folders, plus extra (where
    not None: a display not known yet)."""
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEO_DRIVER", *BASE_FOLDERS):
        env.pop(name, None)
    env.update((name, value) for name, value in extra.items() if value is not None)
    return env


def end_process(process, timeout=10):
    """Ends a process this driver started, by its own id, and reaps it. One
    started in a session of its own leads a process group, which ends with
    it: what it started (a session bus's services) ends too, the leader and
    every member waited for, and is killed with it where SIGTERM does not
    end it in time. A service may still be writing its settings as it ends."""
    if not process or process.poll() is not None:
        return
    leads = os.getpgid(process.pid) == process.pid
    deadline = time.monotonic() + timeout
    try:
        if leads:
            os.killpg(process.pid, signal.SIGTERM)
        else:
            process.terminate()
    except ProcessLookupError:
        pass
    try:
        process.wait(timeout)
        # The leader may go first (dbus-run-session does) and leave its
        # services ending.
        while leads and group_running(process.pid):
            if time.monotonic() > deadline:
                raise subprocess.TimeoutExpired(process.args, timeout)
            time.sleep(0.02)
    except subprocess.TimeoutExpired:
        if leads:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)
        else:
            process.kill()
        process.wait()


def x_display_of(pid):
    """The X display whose lock file a compositor holds, as ":N" (the lowest,
    where it holds more than one), or None before it has taken one."""
    held = []
    for lock in glob.glob("/tmp/.X*-lock"):
        try:
            with open(lock) as file:
                # Ten columns, then a new line or a NUL.
                if int(file.read().strip(" \n\0") or 0) == pid:
                    held.append(int(os.path.basename(lock)[2:-5]))
        except (OSError, ValueError):
            continue  # another server's, coming or going
    return f":{min(held)}" if held else None


# One line of ldd's: "libSDL3.so.0 => /path/to/libSDL3.so.0 (0x...)".
LDD_LINE = re.compile(r"^\s*(\S+) => (/\S+) ", re.MULTILINE)


def open_to_all(path):
    """Whether every user may read the file: it and each directory above it
    are open to others."""
    path = os.path.realpath(path)
    if not os.stat(path).st_mode & stat.S_IROTH:
        return False
    while path != "/":
        path = os.path.dirname(path)
        if not os.stat(path).st_mode & stat.S_IXOTH:
            return False
    return True


def copy_for_all(program, directory):
    """A copy of the program, and of the shared libraries it loads from
    places other users cannot read (a build under /root), in the directory:
    (the program's path, the directory to load libraries from)."""
    os.makedirs(directory, 0o755, exist_ok=True)
    listing = subprocess.run(["ldd", program], capture_output=True, text=True, check=True,
                             timeout=30).stdout
    for name, path in LDD_LINE.findall(listing):
        if not open_to_all(path):
            shutil.copy(path, os.path.join(directory, name))
    if open_to_all(program):
        return os.path.abspath(program), directory
    copy = os.path.join(directory, os.path.basename(program))
    shutil.copy(program, copy)
    return copy, directory


def log_tail(path, size=2000):
    """The end of a log file, for an error that says why a process ended."""
    with open(path, "rb") as log:
        return log.read()[-size:].decode(errors="replace")


def read_pixels(path, x, y, width, height):
    """The RGB bytes of a rectangle of a picture file, row after row."""
    return subprocess.run(
        ["convert", path, "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-depth", "8",
         "rgb:-"], capture_output=True, check=True, timeout=30).stdout


# The program's window: nothing but this grey.
GREY = bytes((225, 225, 225))
# The pointer may be drawn over the window in a picture of the screen.
CURSOR_PIXELS = 32 * 32


def grey_misses(pixels):
    """How many pixels of RGB bytes are not the window's grey."""
    if pixels == GREY * (len(pixels) // 3):
        return 0
    return sum(pixels[i:i + 3] != GREY for i in range(0, len(pixels), 3))


def painted_grey(path, geometry):
    """Whether a picture of the screen shows the window's grey all over
    the window's geometry, but for a pointer."""
    return grey_misses(read_pixels(path, *geometry)) <= CURSOR_PIXELS


# A run of grey long enough to be the window's, not a stray pixel.
GREY_RUN = GREY * 8


def grey_bounds(width, height, pixels):
    """x, y, width and height of the grey rectangle in a picture of RGB
    bytes, or None where there is none. A pointer drawn over part of it
    (as a compositor draws it into a remote screen) leaves the rest to
    show its edges."""
    stride = 3 * width
    top = bottom = left = right = None
    for y in range(height):
        start, end = y * stride, (y + 1) * stride
        first = pixels.find(GREY_RUN, start, end)
        while first >= 0 and (first - start) % 3:
            first = pixels.find(GREY_RUN, first + 1, end)
        if first < 0:
            continue
        last = pixels.rfind(GREY_RUN, start, end)
        while (last - start) % 3:
            last = pixels.rfind(GREY_RUN, start, last + len(GREY_RUN) - 1)
        top = y if top is None else top
        bottom = y + 1
        left = min((first - start) // 3, left if left is not None else width)
        right = max((last - start + len(GREY_RUN)) // 3, right or 0)
    return None if top is None else (left, top, right - left, bottom - top)


class CannotStart(unittest.SkipTest):
    """The desktop cannot start on this machine, for a reason that is no
    fault of the program or the driver (no GPU); the message gives the
    desktop's own word. A test that meets it is skipped."""


class WindowNotShown(AssertionError):
    """The window is not on the screen, where a desktop finds it by its grey:
    hidden, or not yet painted."""


class NoScreenshots(Exception):
    """The desktop takes no pictures of its screen here; the message says why."""


class Watched:
    """What a watch of the screen saw from the moment it began (see
    Desktop.watching)."""

    def __init__(self):
        self.since = time.monotonic()
        self.summary = []

    def story(self):
        """Seconds until the window showed painted all over its final
        place for good (None where it never did), and seconds in which part
        of that place showed black (see screen_frames.story)."""
        return screen_frames.story(self.summary, self.since)


# How long what a desktop left running has, after SIGTERM, before SIGKILL.
LEFTOVER_GRACE = 3


class Desktop:
    """One running virtual desktop. A backend starts it in _start, ends
    every process it started in _stop (what those leave behind is ended
    after it, all the same), and works the pointer, the keys and
    the windows the way a person at that desktop would. What the desktop's
    processes use on disk (its home, a file mounted into its root) is
    given back only once all of them have ended: see scratch_directory and
    after_processes.

    Window coordinates and desktop coordinates are logical pixels: on a
    scaled output they are the coordinates the program's window sizes and the
    compositor's layout use, not the output's device pixels."""

    name = ""
    width, height = 1280, 1024
    # How the program's window reaches the desktop: "x11" (an X server of
    # its own), "xwayland" (an X11 client of a Wayland compositor) or "wayland".
    path = "x11"
    # Whether the program is sent down that path (SDL_VIDEO_DRIVER) rather
    # than left to pick it, as a session leaves it.
    forced = False
    # What this kind of desktop does differently, as the tests expect it.
    reports_moves = True  # Wayland never tells a client where its window is
    maximises = True  # a tiling compositor may leave a floating window as it is
    resizes_by_band = True  # not i3: it pulls the corner nearest the press
    # Where a press on the window's middle line pulls a corner: the top or
    # left one (i3), or the bottom or right one (herbstluftwm).
    middle_pulls_top_left = True
    # The window manager acts on the library's request to move or resize
    # the window (_NET_WM_MOVERESIZE on X11): not awesome, where the strip
    # and the bands do nothing.
    takes_move_requests = True
    restores_after_fullscreen = True  # the windowed size comes back on leaving fullscreen
    holds_keys = False  # key_held and unmaximise work
    reports_minimise = True  # the program is told its window is minimised
    hides_on_minimise = True  # a minimised window leaves the screen
    closes_windows = True  # close() works: weston has no way to ask a window to close
    # What no two of these desktops may hold at once, named for the tests'
    # lock: weston binds its login's PAM file over its root's own.
    exclusive = None
    focuses_elsewhere = False  # focus_elsewhere() works: another client's window
    # point() and pointer_shape() work: X11 names its cursors, and a Wayland
    # client's log of its requests names the shapes it asks for
    points = False
    # watching() works: every new picture of the screen is seen, not one
    # picture at a time
    watches_screen = False
    shape_env = {}  # what the program's environment needs for pointer_shape()
    # A drag from a band starts where the last drag left the window, so a
    # drag is undone by its reverse: not KWin with an X11 window.
    undoes_drags = True
    # What a drag of the strip does that starts on the maximised window
    # ("restored": the window comes out of it under the pointer), and one
    # from its top row, which is the top band; and what a drag of the strip
    # that ends at the screen's edge or corner does ("moved" where it is not
    # named): each None where not known, and the control (decorated_window)
    # tells for the strip where the driver has one.
    drags_out_of_maximised = None
    maximised_top_row = None
    snaps = None
    # What each of the desktop's own keys for a window does to it
    # (desktop.day.KEYS; "unchanged" where not named), None where not
    # known; the control tells where the driver has one.
    desktop_keys = None
    # A resize of a window tiled to a quarter of the screen takes its corner
    # to the pointer first (KWin).
    quarters_jump = False
    # A window tiled to half the screen takes a resize: not metacity and
    # marco, whose window code allows none while a window is tiled side by
    # side, as it allows none of a maximised window.
    resizes_tiled = True
    # A resize from the bottom-right band of a window tiled to half the
    # screen moves it too: muffin keeps a right half's right edge at the
    # screen's, and KWin 5.27 puts an X11 window back at its place from
    # before the tiling for a moment.
    moves_tiled_on_resize = False
    # The commands this desktop needs, of this system and of the desktop's
    # root (of this system too, where it has none); without one, its tests
    # are skipped. The first server is the desktop's own program.
    tools = ()
    servers = ()
    # The root of another release the desktop runs in (desktop.root.Root),
    # or None for this system's own.
    root = None
    # The desktop's own log file, where it keeps one.
    log_path = None

    def missing(self):
        """What this machine lacks for this desktop."""
        if self.root and self.root.missing():
            return [self.root.missing()]
        return ([tool for tool in self.tools if shutil.which(tool) is None]
                + [tool for tool in self.servers if self.which(tool) is None])

    def which(self, tool):
        """Where a command of the desktop's root is, as this system sees it."""
        return self.root.which(tool) if self.root else shutil.which(tool)

    def packaged_version(self):
        """The version of the desktop's own program (its compositor or
        window manager), or None where it is not known."""
        return package_version(self.which(self.servers[0]), self.root.path if self.root else "")

    def program(self, built_here):
        """The program this desktop runs: in a root of another release, the
        one built there; else built_here, this system's build."""
        return self.root.program if self.root else built_here

    def in_root(self, args):
        """The command line that runs args in the desktop's root."""
        return self.root.command(args) if self.root else args

    def __init__(self, record):
        """The desktop of a record of the table (desktop.record.Record),
        not yet started."""
        self.record = record
        self.name = record.name
        self.path = record.path
        self.forced = record.forced
        self.scale = record.scale
        self.root = Root(record.release) if record.release else None
        # A Wayland client is never told where its window is.
        self.reports_moves = record.path != "wayland"

    def __enter__(self):
        # What the desktop's processes leave behind when they end (a child
        # of an aborted compositor) comes to this process, not to pid 1,
        # to be ended with the desktop.
        become_subreaper()
        self._before = set(descendants())
        self._after_processes = contextlib.ExitStack()
        # A desktop that fails to start ends what it has started so far.
        try:
            self._start()
        except BaseException:
            self.__exit__()
            raise
        return self

    def _start(self):
        raise NotImplementedError

    def __exit__(self, *exc):
        try:
            self._stop()
        finally:
            try:
                for process in end_descendants(self._before, LEFTOVER_GRACE):
                    print(f"{self.name}: ended {process}, left running after the desktop "
                          "stopped", file=sys.stderr)
            finally:
                self._after_processes.close()

    def _stop(self):
        """Ends every process the desktop started."""
        raise NotImplementedError

    def after_processes(self, callback, *args):
        """Calls back once every process of the desktop has ended, the last
        first: a service of its session may write into its home as it ends."""
        self._after_processes.callback(callback, *args)

    def scratch_directory(self, prefix):
        """A new directory of the desktop's own, removed once every process
        of the desktop has ended."""
        directory = tempfile.TemporaryDirectory(prefix=prefix)
        self.after_processes(directory.cleanup)
        return directory.name

    def check_alive(self):
        """Raises, with the end of its log, where a process the desktop
        lives by has ended; else False, so that a wait can ask for
        `self.check_alive() or ready()`."""
        for name, process in self.vital_processes():
            if process and process.poll() is not None:
                raise RuntimeError(f"{name} ended with status {process.returncode}; its log "
                                   f"ends:\n{self.log_end(process)}")
        return False

    def vital_processes(self):
        """(name, process) for each process the desktop lives by, as far as
        it has started them."""
        return []

    def log_end(self, process):
        """The end of the log that says why one of the desktop's processes
        ended: its own, where it has one, else the desktop's."""
        return log_tail(getattr(process, "log", None) or self.log_path)

    def env(self, **extra):
        """The environment of a program on this desktop."""
        raise NotImplementedError

    def driver(self):
        """The environment that sends the program down its path, where it is
        sent."""
        if not self.forced:
            return {}
        return {"SDL_VIDEO_DRIVER": "wayland" if self.path == "wayland" else "x11"}

    def command(self, args):
        """The command line that runs a program as this desktop's user."""
        return self.in_root(args)

    def run(self, args, check=True, timeout=30):
        return subprocess.run(args, env=self.env(), capture_output=True, text=True, check=check,
                              timeout=timeout)

    def find_window(self, timeout=20, pid=None):
        """A handle of the program's window, once it is shown; where pid is
        given and the desktop knows its windows' processes, that process's."""
        raise NotImplementedError

    def geometry(self, window):
        """The window's x, y, width and height on the desktop."""
        raise NotImplementedError

    def x_window(self):
        """The program's window among the X server's (XWayland's, on a
        compositor), or None while it has none shown."""
        found = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$"],
                         check=False).stdout.split()
        return int(found[-1]) if found else None

    def x_geometry(self, x_window):
        """An X window's x, y, width and height on the screen, in the X
        server's word (where the window manager put it), or None once it is
        gone."""
        result = self.run(["xdotool", "getwindowgeometry", "--shell", str(x_window)],
                          check=False)
        fields = dict(line.split("=", 1) for line in result.stdout.split())
        if result.returncode or "X" not in fields:
            return None
        return tuple(int(fields[name]) for name in ("X", "Y", "WIDTH", "HEIGHT"))

    def window_path(self, window):
        """How the window reached the desktop, in the desktop's own word:
        "x11", "xwayland" or "wayland"."""
        return "x11"

    def window_hidden(self, window):
        """Whether the window is hidden from the screen (minimised), in the
        desktop's own word."""
        raise NotImplementedError

    def work_area(self):
        """The size a maximised window takes: the screen less any panel."""
        return self.width, self.height

    def focus(self, window, timeout=20):
        raise NotImplementedError

    def focus_elsewhere(self):
        """Gives the focus to another client's window, shown beside the
        program's (where focuses_elsewhere says the driver can)."""
        raise NotImplementedError

    def point(self, window, x, y):
        """Moves the pointer to (x, y) of the window, no button held."""
        raise NotImplementedError

    def pointer_shape(self, program):
        """The name of the pointer's shape where it is now, over the
        program's window, as the cursor theme names it ("default",
        "nw-resize"); None where the program draws a cursor of its own that
        has no name the desktop sees."""
        raise NotImplementedError

    def drag(self, window, x, y, dx, dy, steps=5, pause=0.3, pressed=None):
        """Presses the left button at (x, y) of the window, holds still for
        pause seconds and, where pressed is given, until pressed() returns
        (a fence on the program), moves by (dx, dy) in steps and releases."""
        raise NotImplementedError

    def click(self, window, x, y, button=1, count=1):
        """Clicks the button (1 the left, 3 the right) count times at (x, y)
        of the window, as a hand does a double-click: CLICK_GAP between."""
        raise NotImplementedError

    def pointer_held(self):
        """Whether a client holds the pointer (as an open menu does); None
        where the desktop cannot tell."""
        return None

    def take_overs(self):
        """How many drags the desktop has taken over so far, where it says
        so; None where it does not."""
        return None

    def wait_for_take_over(self, since, timeout=10):
        """Waits until the desktop has taken over a drag since it had taken
        over since, where it says so."""
        if since is not None:
            wait_until(lambda: self.take_overs() > since, timeout,
                       "the desktop to take the drag over")

    def drag_outcome(self, geometry, x, y, edges, dx, dy):
        """The window's geometry after a drag by (dx, dy) from (x, y) of a
        window at geometry, where edges says which of x, y, width and
        height follow the drag (+1 with it, -1 against it)."""
        if not self.takes_move_requests:
            return geometry
        if edges[2:] != (0, 0) and not self.resizes_by_band:
            # Both edges of the nearest corner, whatever the band.
            if self.middle_pulls_top_left:
                left, top = 2 * x <= geometry[2], 2 * y <= geometry[3]
            else:
                left, top = 2 * x < geometry[2], 2 * y < geometry[3]
            edges = (int(left), int(top), -1 if left else 1, -1 if top else 1)
        return tuple(g + sign * d for g, sign, d in zip(geometry, edges, (dx, dy, dx, dy)))

    def drag_on_screen(self, x, y, dx, dy, steps=5, pause=0.3):
        """Presses the left button at (x, y) of the screen, holds still for
        pause seconds, moves by (dx, dy) in steps and releases."""
        raise NotImplementedError

    def decorated_window(self):
        """A context with another client's window of 640 x 480 with the
        desktop's own title bar (desktop.decorated_x11.DecoratedWindow);
        None where the driver has none here."""
        return None

    def move_window(self, window, positions):
        """Moves the window from outside to each (x, y) in turn, as fast as
        the desktop takes it. Returns how many of the moves the desktop
        took, or None where it does not tell."""
        raise NotImplementedError

    def key(self, keys):
        """Types one key, with modifiers as in "shift+f"."""
        raise NotImplementedError

    def key_held(self, key):
        """A context in which one key is held down, repeating as the
        desktop repeats a held key."""
        raise NotImplementedError

    def set_keyboard_layout(self, layout):
        """Makes the keyboard type as the layout of that name ("fr") for
        programs started after; False where the desktop cannot."""
        return False

    def close(self, window):
        """Closes the window the way the desktop's close button does."""
        raise NotImplementedError

    def unmaximise(self, window):
        """Takes the window out of its maximised state from outside, as the
        window manager's own button does."""
        raise NotImplementedError

    def drag_from_vanished_source(self, window):
        """Tells the window that a drag from another client's window is over
        it, naming a window that no longer exists, as when the dragging
        program ends mid-drag. None where clients cannot name each other's
        windows."""
        return None

    def log(self):
        """What the desktop itself has logged so far (nothing, where it is
        not kept)."""
        if not self.log_path:
            return ""
        with open(self.log_path, errors="replace") as log:
            return log.read()

    def screenshot(self, path):
        """Saves the whole screen as a PNG file; raises NoScreenshots where
        the desktop cannot."""
        raise NotImplementedError

    @contextlib.contextmanager
    def watching(self):
        """Watches the screen while the body runs, and after it until the
        screen has held still; the Watched it yields then holds what was
        seen."""
        self._start_watch()
        seen = Watched()
        try:
            yield seen
        finally:
            seen.summary = self._end_watch()

    def _start_watch(self):
        raise NotImplementedError

    def _end_watch(self):
        """The watch's summary (screen_frames.Watch.summary)."""
        raise NotImplementedError

    def pixel(self, x, y):
        """One pixel of the screen as (red, green, blue)."""
        raise NotImplementedError
