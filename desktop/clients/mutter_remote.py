#!/usr/bin/python3
"""A remote-desktop session of mutter that lasts as long as the desktop: it
works mutter's virtual pointer and keyboard and watches the screen through a
screen cast of its monitor. Run by Debian's own Python, for its GObject
bindings. Its arguments are the monitor's scale and the screen's pixels to
one of the coordinates it takes and gives (both 1 by default). One
command a line on stdin, one answer a line on stdout:

    move X Y            the pointer to (X, Y) of the screen      -> ok
    button 1|0 [right]  the left (or right) button down or up    -> ok
    keysym NAME 1|0     a key, by its keysym name, down or up    -> ok
    geometry            the grey window's bounds: X Y W H, or none
    screenshot PATH     the screen, in its own pixels, as a PNG  -> ok
    pixel X Y           one pixel of the screen: R G B
    watch               keep every new frame from now on         -> ok
    watched             once the screen has held still, each kept frame
                        within the window's final place, as TIME GREY
                        BLACK AREA, separated by ";" (see screen_frames)
    quit

It says "ready" once the first frame is in, and "error ..." for a command it
cannot carry out."""

import ctypes
import subprocess
import sys
import threading
import time

import gi

from screen_frames import Watch, grey_bounds

gi.require_version("Gst", "1.0")
from gi.repository import Gio, GLib, Gst  # noqa: E402

DISPLAY_CONFIG = "org.gnome.Mutter.DisplayConfig"
REMOTE = "org.gnome.Mutter.RemoteDesktop"
CAST = "org.gnome.Mutter.ScreenCast"
BUTTON_LEFT, BUTTON_RIGHT = 0x110, 0x111  # evdev's BTN_LEFT and BTN_RIGHT
# The name of this client's node in PipeWire, to link mutter's stream to.
NODE = "window-test-screen"
TIMEOUT_MS = 5000

xkb = ctypes.CDLL("libxkbcommon.so.0")
xkb.xkb_keysym_from_name.restype = ctypes.c_uint32
xkb.xkb_keysym_from_name.argtypes = [ctypes.c_char_p, ctypes.c_int]


def wait_until(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if time.monotonic() > deadline:
            raise RuntimeError(f"timed out waiting for {what}")
        GLib.MainContext.default().iteration(False)
        time.sleep(0.01)
    return value


class Screen:
    """The monitor's newest frame, as BGRx rows."""

    def __init__(self, node):
        self.pipeline = Gst.parse_launch(
            f"pipewiresrc path={node} client-name={NODE} ! videoconvert ! "
            "video/x-raw,format=BGRx ! appsink name=sink max-buffers=1 drop=true sync=false")
        self.sink = self.pipeline.get_by_name("sink")
        self.frame = self.bounds = self.watch = None
        # Starting blocks until the stream is linked, and no session manager
        # links it here: this client does.
        threading.Thread(target=self.pipeline.set_state, args=(Gst.State.PLAYING,),
                         daemon=True).start()
        # PipeWire 0.3 names the port in_0, PipeWire 1.4 input_1.
        port = wait_until(lambda: next((port for port in pw_link("-i").split()
                                        if port.startswith(f"{NODE}:")), None),
                          10, "the screen cast's input port")
        pw_link(*[port for port in pw_link("-o").split() if port.startswith("mutter:")], port)
        wait_until(self.newest, 10, "the first frame")

    def newest(self):
        # While a watch runs, its thread takes every frame.
        if not self.watch:
            self._pull(0)
        return self.frame

    def _pull(self, wait):
        sample = self.sink.emit("try-pull-sample", wait)
        if sample:
            structure = sample.get_caps().get_structure(0)
            width, height = structure.get_value("width"), structure.get_value("height")
            buffer = sample.get_buffer()
            data = buffer.extract_dup(0, buffer.get_size())
            self.frame = (width, height, len(data) // height, data)
            self.bounds = None
            if self.watch:
                self.watch.add(width, len(data) // height, data)

    def start_watch(self):
        """Keeps every frame from now on: mutter sends one whenever it
        paints the screen."""
        self._pull(0)
        self.watch = Watch()
        # The screen as it is now: the picture before anything changes.
        width, _, stride, data = self.frame
        self.watch.add(width, stride, data)
        self.watch.follow(lambda: self._pull(20_000_000))

    def end_watch(self):
        """The watch, once the screen has held still."""
        self.watch.finish()
        watch, self.watch = self.watch, None
        return watch

    def grey_bounds(self):
        """The bounds of the grey on the screen, worked out once a frame."""
        width, _, stride, data = self.newest()
        if self.bounds is None:
            self.bounds = grey_bounds(width, stride, data) or ()
        return self.bounds or None

    def png(self, path):
        """The newest frame as a PNG file, written by ImageMagick."""
        width, height, stride, data = self.newest()
        pixels = b"".join(data[y * stride:y * stride + width * 4] for y in range(height))
        subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "bgra:-",
                        "-alpha", "off", f"png:{path}"], input=pixels, check=True, timeout=30)

    def pixel(self, x, y):
        width, height, stride, data = self.newest()
        if not (0 <= x < width and 0 <= y < height):
            raise ValueError(f"{x},{y} is off the {width}x{height} screen")
        blue, green, red = data[y * stride + x * 4:y * stride + x * 4 + 3]
        return red, green, blue


def pw_link(*args):
    result = subprocess.run(["pw-link", *args], capture_output=True, text=True, timeout=10)
    if result.returncode:
        raise RuntimeError(f"pw-link {' '.join(args)}: {result.stderr.strip()}")
    return result.stdout


class Session:
    """A remote-desktop session with a screen cast of the primary monitor."""

    def __init__(self, scale=1, pixels=1):
        self.scale, self.pixels = scale, pixels
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.check_scale()
        self.path = self.call(REMOTE, "/org/gnome/Mutter/RemoteDesktop", REMOTE,
                              "CreateSession", None, "(o)")[0]
        session_id = self.call(REMOTE, self.path, "org.freedesktop.DBus.Properties", "Get",
                               GLib.Variant("(ss)", (f"{REMOTE}.Session", "SessionId")),
                               "(v)")[0]
        cast = self.call(CAST, "/org/gnome/Mutter/ScreenCast", CAST, "CreateSession",
                         GLib.Variant("(a{sv})", ({"remote-desktop-session-id":
                                                   GLib.Variant("s", session_id)},)), "(o)")[0]
        # No pointer in the frames: the window's pixels are what is looked for.
        self.stream = self.call(CAST, cast, f"{CAST}.Session", "RecordMonitor",
                                GLib.Variant("(sa{sv})", ("", {"cursor-mode":
                                                               GLib.Variant("u", 0)})),
                                "(o)")[0]
        nodes = []
        self.bus.signal_subscribe(CAST, f"{CAST}.Stream", "PipeWireStreamAdded", self.stream,
                                  None, Gio.DBusSignalFlags.NONE,
                                  lambda *signal: nodes.append(signal[5][0]))
        self.session("Start")
        wait_until(lambda: nodes, 10, "mutter's screen cast stream")
        self.screen = Screen(nodes[0])

    def check_scale(self):
        """Fails unless mutter has scaled its monitor as asked, from the
        monitor configuration it read as it started."""
        _, _, logical_monitors, _ = self.call(
            DISPLAY_CONFIG, "/org/gnome/Mutter/DisplayConfig", DISPLAY_CONFIG, "GetCurrentState",
            None, "(ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv})")
        scale = logical_monitors[0][2]
        if abs(scale - self.scale) > 0.01:
            raise RuntimeError(f"mutter scales its monitor by {scale:g}, not {self.scale:g}")

    def call(self, name, path, interface, method, args, reply=None):
        return self.bus.call_sync(name, path, interface, method, args,
                                  GLib.VariantType(reply) if reply else None,
                                  Gio.DBusCallFlags.NONE, TIMEOUT_MS, None).unpack()

    def session(self, method, *args):
        signature = "(" + "".join(kind for kind, _ in args) + ")"
        self.call(REMOTE, self.path, f"{REMOTE}.Session", method,
                  GLib.Variant(signature, tuple(value for _, value in args)) if args else None)

    def command(self, line):
        words = line.split()
        name, args = words[0], words[1:]
        if name == "move" and len(args) == 2:
            self.session("NotifyPointerMotionAbsolute", ("s", self.stream),
                         ("d", float(args[0]) * self.pixels), ("d", float(args[1]) * self.pixels))
        elif name == "button" and args[:1] in (["1"], ["0"]) and args[1:] in ([], ["right"]):
            self.session("NotifyPointerButton", ("i", BUTTON_RIGHT if args[1:] else BUTTON_LEFT),
                         ("b", args[0] == "1"))
        elif name == "keysym" and len(args) == 2 and args[1] in ("1", "0"):
            keysym = xkb.xkb_keysym_from_name(args[0].encode(), 0)
            if not keysym:
                raise ValueError(f"no keysym is called {args[0]!r}")
            self.session("NotifyKeyboardKeysym", ("u", keysym), ("b", args[1] == "1"))
        elif name == "geometry" and not args:
            bounds = self.screen.grey_bounds()
            return " ".join(str(round(v / self.pixels)) for v in bounds) if bounds else "none"
        elif name == "screenshot" and args:
            self.screen.png(line.split(None, 1)[1].strip())
        elif name == "watch" and not args:
            self.screen.start_watch()
        elif name == "watched" and not args:
            return ";".join(f"{at:.4f} {grey} {black} {area}"
                            for at, grey, black, area in self.screen.end_watch().summary())
        elif name == "pixel" and len(args) == 2:
            x, y = (int(float(v) * self.pixels) for v in args)
            return " ".join(map(str, self.screen.pixel(x, y)))
        else:
            raise ValueError(f"unknown command {' '.join(words)!r}")
        return "ok"

    def stop(self):
        self.session("Stop")
        self.screen.pipeline.set_state(Gst.State.NULL)


def main():
    Gst.init(None)
    session = Session(*(float(arg) for arg in sys.argv[1:3]))
    print("ready", flush=True)
    for line in sys.stdin:
        if line.strip() == "quit":
            break
        try:
            answer = session.command(line) if line.strip() else "error empty command"
        except (ValueError, GLib.Error, OSError) as error:
            answer = f"error {error}".replace("\n", " ")
        print(answer, flush=True)
    session.stop()


if __name__ == "__main__":
    main()
