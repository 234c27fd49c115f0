"""The program on a desktop (or none), its stdout collected as it arrives."""

import os
import re
import signal
import subprocess
import tempfile
import threading
import time

from .base import program_env, wait_until
from .wine import WINE

PROMPT = b"Press ENTER to finish...\r\n"
# One event line: a time stamp right-aligned in 7 columns (or wider), a label.
EVENT_LINE = re.compile(rb"^(?: {6}\d| {5}\d\d| {4}\d{3}| {3}\d{4}|  \d{5}| \d{6}|\d{7,})  "
                        rb"(SDL_EVENT_WINDOW_[A-Z_]+)(?:: (-?\d+),(-?\d+))?\r\n$")


# The library's release, which it carries as text.
REVISION = re.compile(rb"release-(3)\.(\d+)\.(\d+)")


def library_release(desktop, program):
    """The SDL3 release the program loads on that desktop, as its library
    file names itself: (major, minor, patch), or None where it cannot be
    told."""
    if program.endswith(".exe"):
        path = os.path.join(os.path.dirname(program), "SDL3.dll")
    else:
        found = re.search(r"libSDL3\S* => (\S+)", subprocess.run(
            desktop.in_root(["ldd", program]), capture_output=True, text=True,
            timeout=30).stdout)
        path = (desktop.root.path if desktop.root else "") + found.group(1) if found else ""
    try:
        with open(path, "rb") as file:
            match = REVISION.search(file.read())
    except OSError:
        return None
    return tuple(int(part) for part in match.groups()) if match else None


class Program:
    """The program on a desktop (or none), its stdout collected as it arrives
    and, where on_output is given, handed on line by line as it comes."""

    def __init__(self, desktop, command, on_output=None, **extra_env):
        env = desktop.env(**extra_env) if desktop else program_env(**extra_env)
        command = desktop.command(command) if desktop else command
        # What a sanitizer or the library said, for failure messages.
        self._stderr = tempfile.TemporaryFile()
        self.desktop = desktop
        self._output = bytearray()
        self._lock = threading.Lock()
        self._on_output = on_output
        # The Windows build: its loop pauses in Wine's calls, not nanosleep.
        self.under_wine = bool(WINE) and WINE in command
        self.process = subprocess.Popen(command, env=env, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE,
                                        stderr=self._stderr)
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
        self._stderr.close()

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

    def values(self, label, after=0):
        """(data1, data2) of each event line with this label after the
        first ones."""
        return [event[1:] for event in self.events()[after:] if event[0] == label]

    def saw(self, label, after=0):
        """Whether an event line with this label came after the first ones."""
        return bool(self.values(label, after))

    def wait(self, predicate, timeout, what):
        """wait_until, with the program's state and last words on a timeout."""
        try:
            return wait_until(predicate, timeout, what)
        except AssertionError as timeout:
            state = "running" if self.process.poll() is None else f"ended {self.process.returncode}"
            raise AssertionError(f"{timeout} ({state}; the output ends with "
                                 f"{self.output()[-300:]!r}; stderr ends with "
                                 f"{self.errors()[-2000:]!r})") from None

    def wait_for_event(self, label, after=0, timeout=10):
        self.wait(lambda: self.saw(label, after), timeout, label)

    def wait_until_still(self, quiet=0.3, timeout=10):
        """Waits until the program has logged at least one event and then
        nothing for quiet seconds. The desktop sends the events of a new
        window's start (its place, its size, a renderer's window replacing
        the first one) when it gets to them, and gives no other word that
        it is done with them."""
        def still():
            count = len(self.events())
            time.sleep(quiet)
            return count and len(self.events()) == count
        self.wait(still, timeout, "the start's lines to end")

    def wait_for_window(self, timeout=20):
        """The program's window, once shown, having reached the desktop the
        way the desktop is meant to be reached."""
        # Creating the renderer may replace the native window that was shown
        # first; by the program's first line, the window is the one it keeps.
        self.wait(self.lines, timeout, "the program's first line")
        self.window = self.desktop.find_window(timeout, self.process.pid)
        path = self.desktop.window_path(self.window)
        if path != self.desktop.path:
            raise AssertionError(f"the window reached {self.desktop.name} as a {path} client, "
                                 f"not {self.desktop.path}")
        return self.window

    def geometry(self):
        return self.desktop.geometry(self.window)

    def _pause_between_frames(self):
        """How many times the main thread has slept so far, while it is in the
        event loop's pause between frames; None while it is anywhere else."""
        task = f"/proc/{self.process.pid}/task/{self.process.pid}"

        def sleeps():
            with open(f"{task}/status") as status:
                return next(int(line.split()[1]) for line in status
                            if line.startswith("voluntary_ctxt_switches:"))
        before = sleeps()
        # The library's delay sleeps in nanosleep; nothing else of the loop does.
        with open(f"{task}/wchan") as wchan:
            sleeping = "nanosleep" in wchan.read()
        # Unchanged: the pause seen is the one begun by the sleep counted.
        return before if sleeping and sleeps() == before else None

    def wait_for_loop_turn(self, timeout=10):
        """Waits until the event loop has gone round once from now: from one
        pause between frames through a poll of the events to the next pause,
        so that all input that had reached the program is handled."""
        first = self.wait(self._pause_between_frames, timeout,
                          "the event loop to pause between frames")
        self.wait(lambda: (self._pause_between_frames() or first) > first, timeout,
                  "the event loop to pause between frames a second time")

    def focus(self, timeout=20):
        self.desktop.focus(self.window, timeout)

    def focus_elsewhere(self):
        """Gives the focus to another client's window, and waits until the
        program has had word that it lost it."""
        self.desktop.focus_elsewhere()
        self.wait_for_loop_turn()

    def pointer_shape(self, x, y):
        """The pointer's shape over (x, y) of the window, once the program
        has had the motion there."""
        self.desktop.point(self.window, x, y)
        self.wait_for_loop_turn()
        return self.shape()

    def shape(self):
        """The pointer's shape where it is now."""
        return self.desktop.pointer_shape(self)

    def wait_for_shape(self, *shapes, timeout=5):
        """Waits until the pointer's shape is one of shapes, and returns it;
        on a time-out, says which shape it was."""
        try:
            wait_until(lambda: self.shape() in shapes, timeout, f"the {shapes[0]} shape")
        except AssertionError as late:
            raise AssertionError(f"{late}: got {self.shape()!r}") from None
        return self.shape()

    def drag(self, x, y, dx, dy, steps=5, pause=0.3, taken=False, focused=True):
        """Presses the left button at (x, y) of the window, holds still,
        moves by (dx, dy) and releases. taken: the press is on the frame,
        and the desktop is to take the drag over; focused: the window is
        given the focus first, else another window has it at the press."""
        # On an inactive window the desktop may take the press first, to
        # focus it, and not hand it on.
        if focused:
            self.focus()
        since = self.desktop.take_overs() if taken else None

        # The motion once the program has had the press, as it would on an
        # idle machine within the pause: on a busy one the program can be
        # late to hand the drag over, after the hand has let go. Under Wine
        # its loop cannot be watched from here. Where the desktop says when
        # it takes a drag over, the motion waits for that too: it anchors
        # the drag where the pointer is then.
        def pressed():
            if not self.under_wine:
                self.wait_for_loop_turn()
            self.desktop.wait_for_take_over(since)
        waits = not self.under_wine or since is not None
        self.desktop.drag(self.window, x, y, dx, dy, steps, pause, pressed if waits else None)

    def close(self):
        self.desktop.close(self.window)

    def terminate(self):
        self.process.send_signal(signal.SIGTERM)

    def errors(self):
        """What the program has written to standard error so far."""
        self._stderr.seek(0)
        return self._stderr.read().decode(errors="replace")

    def wait_for_prompt(self, timeout=10):
        self.wait(lambda: self.output().endswith(PROMPT), timeout, "the exit prompt")

    def finish(self, line=b"abc\r\n", timeout=10):
        """Answers the prompt and returns the exit status."""
        self.process.stdin.write(line)
        self.process.stdin.close()
        status = self.process.wait(timeout)
        self._reader.join(timeout)
        return status
