"""Runs the program on a virtual desktop: Xvfb with the openbox window manager,
the screen readable as a picture, the program's stdout collected as it comes."""

import os
import re
import signal
import struct
import subprocess
import tempfile
import threading
import time
import zlib

TITLE = "Window test"
PROMPT = b"Press ENTER to finish...\r\n"
# One event line: a time stamp right-aligned in 7 columns (or wider), a label.
EVENT_LINE = re.compile(rb"^(?: {6}\d| {5}\d\d| {4}\d{3}| {3}\d{4}|  \d{5}| \d{6}|\d{7,})  "
                        rb"(SDL_EVENT_WINDOW_[A-Z_]+)(?:: (-?\d+),(-?\d+))?\r\n$")


def program_env(**extra):
    """The environment less any display, plus extra."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env.update(extra)
    return env


def wait_until(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


class Desktop:
    """Xvfb with openbox on a display of its own."""

    def __init__(self, width=1280, height=1024):
        self.width, self.height = width, height
        self._xvfb = self._wm = None
        self._framebuffer = None
        self.display = None

    def __enter__(self):
        # Xvfb keeps its screen in this directory as an XWD file.
        self._framebuffer = tempfile.TemporaryDirectory(prefix="window-test-screen-")
        # A session's private runtime directory, as a desktop login provides.
        self._runtime = os.path.join(self._framebuffer.name, "runtime")
        os.mkdir(self._runtime, 0o700)
        read_fd, write_fd = os.pipe()
        self._xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             f"{self.width}x{self.height}x24", "-fbdir", self._framebuffer.name,
             "-nolisten", "tcp"],
            pass_fds=[write_fd], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as displayfd:
            number = displayfd.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = f":{number}"
        self._wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: self.run(["wmctrl", "-m"], check=False).returncode == 0, 20,
                   "openbox to manage the display")
        return self

    def __exit__(self, *exc):
        for process in (self._wm, self._xvfb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        if self._framebuffer:
            self._framebuffer.cleanup()

    def env(self, **extra):
        return program_env(DISPLAY=self.display, XDG_RUNTIME_DIR=self._runtime, **extra)

    def run(self, args, check=True):
        return subprocess.run(args, env=self.env(), capture_output=True, text=True, check=check,
                              timeout=30)

    def xdotool(self, *args):
        return self.run(["xdotool", *map(str, args)]).stdout

    def geometry(self, window):
        """The window's frame as the window manager reports it: x, y, width, height."""
        for line in self.run(["wmctrl", "-lG"]).stdout.splitlines():
            fields = line.split()
            if int(fields[0], 16) == window:
                return tuple(int(f) for f in fields[2:6])
        raise AssertionError(f"window {window:#x} is not managed")

    def find_window(self, timeout=20):
        """The program's window, once it is shown."""
        def find():
            found = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$"],
                             check=False).stdout.split()
            return int(found[0]) if found else None
        return wait_until(find, timeout, "the program's window to be shown")

    def focus(self, window, timeout=20):
        # A window that is shown but not yet managed cannot be activated yet.
        wait_until(lambda: self.run(["xdotool", "windowactivate", "--sync", str(window)],
                                    check=False).returncode == 0,
                   timeout, "the window to take the focus")

    def framebuffer_file(self):
        """Xvfb's screen as an XWD file, always up to date."""
        return os.path.join(self._framebuffer.name, "Xvfb_screen0")

    def pixel(self, x, y):
        """One pixel of the screen as (red, green, blue), read on its own."""
        with open(self.framebuffer_file(), "rb") as xwd:
            start, _, _, bytes_per_line, byte_order = _xwd_layout(xwd.read(100))
            xwd.seek(start + y * bytes_per_line + 4 * x)
            pixel = xwd.read(4)
        return (pixel[2], pixel[1], pixel[0]) if byte_order == 0 else tuple(pixel[1:4])

    def screenshot(self, path):
        """Saves the whole screen as a PNG file."""
        with open(self.framebuffer_file(), "rb") as xwd:
            width, height, rows = read_xwd(xwd.read())
        write_png(path, width, height, rows)


def _xwd_layout(header):
    """Where an XWD image's pixels are: (first pixel's offset, width, height,
    bytes per line, byte order) from its 100-byte header."""
    order = ">" if struct.unpack(">I", header[:4])[0] < 0x10000 else "<"
    fields = struct.unpack(order + "25I", header[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    if bits_per_pixel != 32:
        raise ValueError(f"unsupported XWD image of {bits_per_pixel} bits per pixel")
    return header_size + 12 * ncolors, width, height, bytes_per_line, byte_order


def read_xwd(data):
    """Width, height and RGB rows of a 32-bit TrueColor XWD image."""
    start, width, height, bytes_per_line, byte_order = _xwd_layout(data)
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + 4 * width]
        rgb = bytearray(3 * width)
        if byte_order == 0:  # least significant byte first: B, G, R, pad
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        else:  # pad, R, G, B
            rgb[0::3], rgb[1::3], rgb[2::3] = line[1::4], line[2::4], line[3::4]
        rows.append(bytes(rgb))
    return width, height, rows


def _chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body
            + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def write_png(path, width, height, rows):
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as png:
        png.write(b"\x89PNG\r\n\x1a\n"
                  + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                  + _chunk(b"IDAT", zlib.compress(raw, 6)) + _chunk(b"IEND", b""))


def read_png(path):
    """Width, height and RGB rows of a PNG file as write_png makes them."""
    with open(path, "rb") as png:
        data = png.read()
    position, idat, width, height = 8, b"", 0, 0
    while position < len(data):
        (length,) = struct.unpack(">I", data[position:position + 4])
        kind, body = data[position + 4:position + 8], data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if (depth, colour) != (8, 2):
                raise ValueError("not an 8-bit RGB PNG")
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    raw = zlib.decompress(idat)
    stride = 1 + 3 * width
    rows = [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]
    if any(raw[y * stride] != 0 for y in range(height)):
        raise ValueError("filtered PNG rows are not read here")
    return width, height, rows


class Program:
    """The program on a desktop (or none), its stdout collected as it arrives
    and, where on_output is given, handed on line by line as it comes."""

    def __init__(self, desktop, command, on_output=None, **extra_env):
        env = desktop.env(**extra_env) if desktop else program_env(**extra_env)
        self.desktop = desktop
        self._output = bytearray()
        self._lock = threading.Lock()
        self._on_output = on_output
        self.process = subprocess.Popen(command, env=env, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._reader = threading.Thread(target=self._collect, daemon=True)
        self._reader.start()
        self.window = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self._reader.join(10)
        self.process.stdout.close()
        if not self.process.stdin.closed:
            self.process.stdin.close()

    def _collect(self):
        pending = b""
        while True:
            chunk = os.read(self.process.stdout.fileno(), 65536)
            with self._lock:
                self._output += chunk
            if self._on_output:
                # Whole lines only, so that nothing else can land inside one.
                pending += chunk
                complete = pending.rfind(b"\n") + 1 if chunk else len(pending)
                if complete:
                    self._on_output(pending[:complete])
                    pending = pending[complete:]
            if not chunk:
                return

    def output(self):
        with self._lock:
            return bytes(self._output)

    def lines(self):
        return self.output().splitlines(keepends=True)

    def events(self):
        """(label, data1, data2) of every event line so far."""
        found = []
        for line in self.lines():
            match = EVENT_LINE.match(line)
            if match:
                label, d1, d2 = match.groups()
                found.append((label.decode(), int(d1) if d1 else None, int(d2) if d2 else None))
        return found

    def saw(self, label, after=0):
        """Whether an event line with this label came after the first ones."""
        return any(e[0] == label for e in self.events()[after:])

    def wait_for_event(self, label, after=0, timeout=10):
        wait_until(lambda: self.saw(label, after), timeout, label)

    def wait_for_window(self, timeout=20):
        # Creating the renderer may replace the native window that was shown
        # first; by the program's first line, the window is the one it keeps.
        wait_until(self.lines, timeout, "the program's first line")
        self.window = self.desktop.find_window(timeout)
        return self.window

    def focus(self, timeout=20):
        self.desktop.focus(self.window, timeout)

    def drag(self, x, y, dx, dy, steps=4):
        """Presses the left button at (x, y) of the window, moves by (dx, dy), releases."""
        # On an inactive window the window manager takes the press first, to
        # focus it, and only then hands it on.
        self.focus()
        xdotool = self.desktop.xdotool
        xdotool("mousemove", "--window", self.window, x, y)
        xdotool("mousedown", 1)
        # The window manager takes over the drag only once the program has
        # asked it to; motion before that would be lost.
        time.sleep(0.3)
        for _ in range(steps):
            xdotool("mousemove_relative", "--", dx // steps, dy // steps)
            time.sleep(0.05)
        xdotool("mouseup", 1)

    def drag_until(self, x, y, dx, dy, done, timeout=10, steps=4):
        """Drags as drag() does, then waits until done() holds, and returns how
        many presses it took. Now and then, under Xvfb and openbox, the window
        manager does not take over a drag that the library hands it (the
        library keeps the pointer, and nothing moves); a drag after which
        nothing at all was logged is made once more."""
        presses = 0
        while True:
            seen = len(self.lines())
            self.drag(x, y, dx, dy, steps)
            presses += 1
            try:
                wait_until(lambda: done() or len(self.lines()) != seen, 2, "a line")
                break
            except AssertionError:
                if presses == 2:
                    break
        wait_until(done, timeout, "the drag's outcome")
        return presses

    def close(self):
        """Closes the window the way the window manager's close button does."""
        self.desktop.run(["wmctrl", "-i", "-c", hex(self.window)])

    def terminate(self):
        self.process.send_signal(signal.SIGTERM)

    def wait_for_prompt(self, timeout=10):
        wait_until(lambda: self.output().endswith(PROMPT), timeout, "the exit prompt")

    def finish(self, line=b"abc\r\n", timeout=10):
        """Answers the prompt and returns the exit status."""
        self.process.stdin.write(line)
        self.process.stdin.close()
        status = self.process.wait(timeout)
        self._reader.join(timeout)
        return status
