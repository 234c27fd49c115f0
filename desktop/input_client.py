"""A Wayland desktop's pointer and keyboard: one client process that lasts
the whole session, so that no device comes and goes while the program binds
the seat. It says "ready", then takes one command a line and answers each with
"ok" (or the value asked for), or with "error..."."""

import contextlib
import os
import select
import subprocess
import time

from .base import end_process, log_tail

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The pointer rests where it arrives before the press, as a hand's does: on a
# scaled output the program takes tens of milliseconds to load its cursor at
# the first entry, and a move it asks for late starts late.
ARRIVAL = 0.1
# Times the end of a drag is said again, at most, for the window to settle.
SETTLE_TRIES = 10
# How long the window must keep its geometry to count as settled, by default:
# on a busy machine a compositor can take longer than 50 ms to catch up with
# the last motions, and a window that looked still then was a step short.
SETTLE = 0.15


def client_path(name):
    """Where a client is built: as WINDOW_TEST_<NAME> says (the build's own,
    set by the tests), else in the default build."""
    variable = "WINDOW_TEST_" + name.upper().replace("-", "_")
    return os.environ.get(variable, os.path.join(REPO, "build", "desktop", "clients", name))


class InputClient:
    def __init__(self, command, env, check_desktop, name=None, log=None):
        """Starts the client; check_desktop raises, with the desktop's own
        word, when the desktop has ended. The client's standard error goes
        to the log file, where one is named, else among its answers."""
        self._name = name or os.path.basename(command[0])
        self._check_desktop = check_desktop
        self._log = log
        with open(log, "wb") if log else contextlib.nullcontext() as errors:
            self._process = subprocess.Popen(command, env=env, stdin=subprocess.PIPE,
                                             stdout=subprocess.PIPE,
                                             stderr=errors or subprocess.STDOUT)
        self._answer("starting", "ready", timeout=20)

    def close(self):
        if self._process.poll() is None:
            try:
                self._process.stdin.write(b"quit\n")
                self._process.stdin.close()
                self._process.wait(5)
            except (OSError, subprocess.TimeoutExpired):
                pass
        end_process(self._process)
        self._process.stdout.close()

    def _answer(self, what, want, timeout=10):
        """The next line: want, or (with want None) any answer that is not
        an error."""
        fd = self._process.stdout.fileno()
        line = b""
        deadline = time.monotonic() + timeout
        while not line.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0:
                self._check_desktop()
                raise AssertionError(f"{self._name} did not answer {what!r} within {timeout} s")
            # Now and then, whether the desktop the client waits on is still there.
            if not select.select([fd], [], [], min(left, 0.5))[0]:
                self._check_desktop()
                continue
            chunk = os.read(fd, 1)
            if not chunk:
                self._check_desktop()
                said = f"; its log ends:\n{log_tail(self._log)}" if self._log else ""
                raise RuntimeError(f"{self._name} ended at {what!r}: {line.decode()}{said}")
            line += chunk
        answer = line.decode().strip()
        if answer.startswith("error") or want is not None and answer != want:
            self._check_desktop()
            raise RuntimeError(f"{self._name}, at {what!r}: {answer}")
        return answer

    def send(self, command, want="ok"):
        """Sends one command and returns its answer (see _answer)."""
        self._process.stdin.write(command.encode() + b"\n")
        self._process.stdin.flush()
        return self._answer(command, want)

    def drag(self, x, y, dx, dy, steps, pause, geometry=None, settle=SETTLE, pressed=None):
        """Presses at (x, y) of the desktop, holds still (and, where pressed
        is given, until pressed() returns), moves by (dx, dy) in steps and
        releases. Where the window's geometry() is given, the pointer says
        its place again before the release, as a hand holding still would,
        until the window keeps its geometry for settle seconds."""
        self.send(f"move {x} {y}")
        time.sleep(ARRIVAL)
        self.send("button 1")
        time.sleep(pause)
        if pressed:
            pressed()
        for i in range(1, steps + 1):
            self.send(f"move {x + dx * i // steps} {y + dy * i // steps}")
            time.sleep(0.02)
        for _ in range(SETTLE_TRIES if geometry else 0):
            time.sleep(settle)
            before = geometry()
            self.send(f"move {x + dx} {y + dy}")
            if geometry() == before:
                break
        self.send("button 0")
