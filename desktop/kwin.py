"""KWin desktops: a headless KWin on a virtual output, worked through one fake
input client that lasts the whole session, its windows seen and handled
through KWin's scripting and D-Bus interfaces."""

import json
import os
import re
import shutil
import subprocess

from .base import (TITLE, Desktop, NoScreenshots, end_process, program_env,
                   read_pixels, wait_until, x_display_of)
from .day import TILES_AT_EDGES
from .elsewhere_wayland import ElsewhereOnWayland
from .input_client import InputClient, client_path
from .shape_wayland import PointsOnWayland

FAKE_INPUT = client_path("fake-input")
# Debian's own Python, which has the GObject bindings the screenshots need.
SYSTEM_PYTHON = "/usr/bin/python3"
SCREENSHOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "clients",
                          "kwin_screenshot.py")
SOCKET = "wayland-window-test"

# What a script prints reaches KWin's log as "js: " and the text.
SCRIPT_LINE = re.compile(r"^js: (window-test-\d+) (.*)$")
WINDOW_INFO = re.compile(r"'(x|y|width|height)': <(-?[\d.]+)>")

# Every window, the program's by its KWin id (or an error), and the active
# one, in the words of KWin 6 or of KWin 5.
FIND_CLIENT = """\
function allWindows() {
  return workspace.windowList ? workspace.windowList() : workspace.clientList();
}
function activate(c) {
  if (workspace.windowList) workspace.activeWindow = c; else workspace.activeClient = c;
}
function client(id) {
  var list = allWindows();
  for (var i = 0; i < list.length; i++) {
    if (String(list[i].internalId) == id) return list[i];
  }
  throw new Error("no window " + id);
}
"""


class KWinDesktop(PointsOnWayland, ElsewhereOnWayland, Desktop):
    """KWin with its XWayland on a virtual output of width x height logical
    pixels, each scale device pixels wide, with a session bus and a home of
    its own. The program reaches it by path ("xwayland" or "wayland"): the
    one its library picks there, or, forced, the one it is sent down (by
    default the native one)."""

    tools = ("gdbus", "convert", "xdotool", SYSTEM_PYTHON, FAKE_INPUT)
    servers = ("kwin_wayland", "Xwayland", "dbus-daemon")
    # Out of maximised, as its own title bar is; and its top band, too,
    # resizes the maximised window.
    drags_out_of_maximised = "restored"
    maximised_top_row = "resized"
    snaps = TILES_AT_EDGES  # its quick tiling, on by default
    quarters_jump = True
    # The bare KWin here acts on none of its shortcuts' keys (they go
    # through its shortcut service; why they do not act is not yet found).
    desktop_keys = {}

    def __init__(self, record):
        super().__init__(record)
        # KWin anchors a resize of an X11 window that it has just resized
        # with sync requests on the window's geometry of a step before the
        # last: a reverse drag of 40 pixels in four from the left band moved
        # the edge 50 on KWin 5.27 (every time, also with a second between
        # the drags), and a top-right drag after a top-left one there and
        # back moved the left edge too on KWin 6.3 (once in two runs).
        self.undoes_drags = self.path == "wayland"
        self.moves_tiled_on_resize = self.path == "xwayland" and not record.release
        self._bus = self._kwin = self._input = self._top = None
        self._x_display = None
        self._scripts = 0
        self._log_offset = 0

    def _start(self):
        self._top = self.scratch_directory("window-test-kwin-")
        top = self._top
        self._runtime = os.path.join(top, "runtime")
        home = os.path.join(top, "home")
        os.mkdir(self._runtime, 0o700)
        os.mkdir(home)
        self._address = f"unix:path={os.path.join(top, 'bus')}"
        self.log_path = os.path.join(top, "kwin.log")
        with open(self.log_path, "wb") as log:
            # Their own process groups, so that what they start ends with them.
            self._bus = subprocess.Popen(self.in_root(
                ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                 f"--address={self._address}"]),
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
            wait_until(lambda: self.check_alive() or os.path.exists(os.path.join(top, "bus")),
                       10, "the session bus")
            # The packaged binary carries a file capability (for a higher
            # file limit) that a container may refuse to run; a plain copy
            # runs without it.
            kwin = os.path.join(top, "kwin_wayland")
            shutil.copy(self.which("kwin_wayland"), kwin)
            self._kwin = subprocess.Popen(self.in_root(
                [kwin, "--virtual", "--no-lockscreen", "--no-global-shortcuts",
                 "--no-kactivities", "--xwayland", "--width", str(self.width), "--height", str(self.height),
                 "--scale", f"{self.scale:g}", "--socket", SOCKET]),
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True,
                env=program_env(
                    HOME=home, XDG_RUNTIME_DIR=self._runtime,
                    XDG_CONFIG_HOME=os.path.join(home, ".config"),
                    XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                    DBUS_SESSION_BUS_ADDRESS=self._address,
                    # KWin grants its fake input and screenshots only to the
                    # programs its .desktop files name, which KWin 6 finds
                    # only through a Plasma session's menu.
                    KWIN_WAYLAND_NO_PERMISSION_CHECKS="1",
                    KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1"))
        wait_until(lambda: self.check_alive() or self._kwin_ready(), 30, "KWin to start")
        self._x_display = wait_until(lambda: self.check_alive() or x_display_of(self._kwin.pid),
                                     20, "KWin's X display")
        self._input = InputClient([FAKE_INPUT], self.env(), self.check_alive)

    def _kwin_ready(self):
        if not os.path.exists(os.path.join(self._runtime, SOCKET)):
            return False
        owner = self.run(["gdbus", "call", "--session", "-d", "org.freedesktop.DBus",
                          "-o", "/org/freedesktop/DBus", "-m", "org.freedesktop.DBus.NameHasOwner",
                          "org.kde.KWin"], check=False).stdout
        return owner.strip() == "(true,)"

    def _stop(self):
        if self._input:
            self._input.close()
        end_process(self._kwin)
        end_process(self._bus)

    def vital_processes(self):
        return [("KWin", self._kwin), ("the session bus", self._bus)]

    def env(self, **extra):
        # Both displays, as in a session.
        return program_env(WAYLAND_DISPLAY=SOCKET, DISPLAY=self._x_display,
                           XDG_RUNTIME_DIR=self._runtime, DBUS_SESSION_BUS_ADDRESS=self._address,
                           **self.driver(), **extra)

    def _call(self, path, method, *args):
        """Calls one of KWin's D-Bus methods and returns gdbus's reply."""
        result = self.run(["gdbus", "call", "--session", "-d", "org.kde.KWin", "-o", path,
                           "-m", method, *map(str, args)], check=False)
        if result.returncode:
            self.check_alive()
            raise RuntimeError(f"{method}: {result.stderr.strip()}")
        return result.stdout.strip()

    def _script(self, body, timeout=10):
        """Runs JavaScript in KWin and returns the lines it gave say()."""
        self._scripts += 1
        name = f"window-test-{self._scripts}"
        path = os.path.join(self._top, f"{name}.js")
        with open(path, "w") as script:
            script.write(f"function say(text) {{ print({json.dumps(name)} + ' ' + text); }}\n"
                         f"{FIND_CLIENT}{body}\nsay('end');\n")
        number = int(self._call("/Scripting", "org.kde.kwin.Scripting.loadScript", path, name)
                     .strip("(),"))
        try:
            # KWin 6 names the script's object under /Scripting.
            try:
                self._call(f"/Scripting/Script{number}", "org.kde.kwin.Script.run")
            except RuntimeError:
                self._call(f"/{number}", "org.kde.kwin.Script.run")
            said = []

            def ended():
                for line in self._new_log_lines():
                    match = SCRIPT_LINE.match(line)
                    if match and match[1] == name:
                        if match[2] == "end":
                            return True
                        said.append(match[2])
                    elif path in line:  # an error in the script, named by its file
                        raise RuntimeError(f"KWin script: {line}\n{body}")
                return self.check_alive()
            wait_until(ended, timeout, f"KWin to run {name}")
            return said
        finally:
            self._call("/Scripting", "org.kde.kwin.Scripting.unloadScript", name)

    def _new_log_lines(self):
        """The whole lines KWin has logged since the last call."""
        with open(self.log_path, "rb") as log:
            log.seek(self._log_offset)
            data = log.read()
        whole = data.rfind(b"\n") + 1
        self._log_offset += whole
        return data[:whole].decode(errors="replace").splitlines()

    def find_window(self, timeout=20, pid=None):
        # The program's own window, known by its process where it is given:
        # an earlier program's window may still be listed, in no order of age.
        def find():
            found = self._script(f"""\
var list = allWindows();
for (var i = 0; i < list.length; i++) {{
  if (list[i].caption == {json.dumps(TITLE)} && ({json.dumps(pid)} === null
      || list[i].pid == {json.dumps(pid)})) say(list[i].internalId);
}}""")
            return found[-1] if found else None
        return wait_until(find, timeout, "the program's window to be shown")

    def geometry(self, window):
        info = dict(WINDOW_INFO.findall(self._call("/KWin", "org.kde.KWin.getWindowInfo",
                                                   window)))
        if len(info) != 4:
            raise AssertionError(f"window {window} is not managed")
        return tuple(round(float(info[key])) for key in ("x", "y", "width", "height"))

    def window_path(self, window):
        # An X11 client's window is in XWayland's tree (KWin 6's scripts no
        # longer tell); a Wayland one is not.
        return "xwayland" if self.x_window() else "wayland"

    def window_hidden(self, window):
        return self._script(f"say(client({json.dumps(window)}).minimized);") == ["true"]

    def focus(self, window, timeout=20):
        def active():
            return self._script(f"""\
var c = client({json.dumps(window)});
activate(c);
if (c.active) say("active");""") == ["active"]
        wait_until(active, timeout, "the window to take the focus")

    def drag(self, window, x, y, dx, dy, steps=5, pause=0.3, pressed=None):
        left, top, _, _ = self.geometry(window)
        # KWin drops the pointer's motions while an X11 window owes it the
        # answer to a resize (a sync request), and keeps the size of the last
        # motion it took; the pointer says its place again until the window
        # stays. Its wait for that answer can outlast several of the program's
        # frames, so the window must hold still for longer than elsewhere.
        self._input.drag(left + x, top + y, dx, dy, steps, pause, lambda: self.geometry(window),
                         settle=0.25, pressed=pressed)

    def move_window(self, window, positions):
        # One script: KWin moves the window once per position, in order.
        said = self._script(f"""\
var c = client({json.dumps(window)});
var positions = {json.dumps(positions)};
var taken = 0;
for (var i = 0; i < positions.length; i++) {{
  var g = c.frameGeometry;
  c.frameGeometry = {{x: positions[i][0], y: positions[i][1], width: g.width,
                     height: g.height}};
  if (c.frameGeometry.x == positions[i][0] && c.frameGeometry.y == positions[i][1]) taken++;
}}
say(taken);""", timeout=60)
        return int(said[0])

    def key(self, keys):
        self._input.send(f"key {keys}")

    def close(self, window):
        self._script(f"client({json.dumps(window)}).closeWindow();")

    def _shot(self, path, x, y, width, height):
        """Saves a rectangle of the screen as a PNG file."""
        supported = self._call("/Effects", "org.kde.kwin.Effects.isEffectSupported", "screenshot")
        if supported != "(true,)":
            raise NoScreenshots("KWin's screenshot effect needs OpenGL compositing, which "
                                "KWin 6's virtual output has only on a GPU's render node")
        result = self.run([SYSTEM_PYTHON, SCREENSHOT, str(x), str(y), str(width), str(height),
                           path], check=False)
        if result.returncode:
            self.check_alive()
            raise RuntimeError(f"KWin's screenshot: {result.stderr.strip()}")

    def screenshot(self, path):
        self._shot(path, 0, 0, self.width, self.height)

    def pixel(self, x, y):
        shot = os.path.join(self._top, "pixel.png")
        self._shot(shot, x, y, 1, 1)
        return tuple(read_pixels(shot, 0, 0, 1, 1))
