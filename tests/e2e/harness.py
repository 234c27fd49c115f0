"""Runs the real program: on a virtual X display with a real window manager,
with real pipes and files on its standard streams."""

import contextlib
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

PROGRAM = os.environ.get("WINDOW_TEST_PROGRAM", "")
TITLE = "Window test"
PROMPT = b"Press ENTER to finish...\r\n"
# One event line: a time stamp right-aligned in 7 columns (or wider), a label.
EVENT_LINE = re.compile(rb"^(?: {6}\d| {5}\d\d| {4}\d{3}| {3}\d{4}|  \d{5}| \d{6}|\d{7,})  "
                        rb"(SDL_EVENT_WINDOW_[A-Z_]+)(?:: (-?\d+),(-?\d+))?\r\n$")
REPORT = re.compile(rb"^Runtime error (\d+) at \$([0-9A-F]{16})\r\n  \$\2\r\n\r\n$")


def program_env(**extra):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env.update(extra)
    return env


def run_program(env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, timeout=30, **kwargs):
    """Runs the program to its end and returns the completed process."""
    return subprocess.run([PROGRAM], env=env, stdin=stdin, stdout=stdout,
                          stderr=subprocess.PIPE, timeout=timeout, **kwargs)


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
        self.display = None

    def __enter__(self):
        read_fd, write_fd = os.pipe()
        self._xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             f"{self.width}x{self.height}x24", "-nolisten", "tcp"],
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

    def env(self, **extra):
        return program_env(DISPLAY=self.display, **extra)

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


class Program:
    """The program running on a desktop (or none), its stdout collected as it arrives."""

    def __init__(self, desktop, command=None, **extra_env):
        env = desktop.env(**extra_env) if desktop else program_env(**extra_env)
        self.desktop = desktop
        self._output = bytearray()
        self._lock = threading.Lock()
        self.process = subprocess.Popen(command or [PROGRAM], env=env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
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
        while True:
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                return
            with self._lock:
                self._output += chunk

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

    def wait_for_event(self, label, after=0, timeout=10):
        def seen():
            return any(e[0] == label for e in self.events()[after:])
        wait_until(seen, timeout, label)

    def wait_for_window(self, timeout=20):
        def find():
            found = self.desktop.run(["xdotool", "search", "--onlyvisible", "--name",
                                      f"^{TITLE}$"], check=False).stdout.split()
            return int(found[0]) if found else None
        self.window = wait_until(find, timeout, "the program's window to be shown")
        return self.window

    def focus(self, timeout=20):
        # A window that is shown but not yet managed cannot be activated yet.
        wait_until(lambda: self.desktop.run(["xdotool", "windowactivate", "--sync",
                                             str(self.window)], check=False).returncode == 0,
                   timeout, "the window to take the focus")

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


def tools_missing(*tools):
    return [tool for tool in tools if shutil.which(tool) is None]


@contextlib.contextmanager
def scratch_dir():
    with tempfile.TemporaryDirectory(prefix="window-test-") as path:
        yield path
