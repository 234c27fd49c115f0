"""A Wayland desktop's pointer and keyboard: one client process that lasts
the whole session, so that no device comes and goes while the program binds
the seat. It takes one command a line and answers each with "ok", or with
"error: ..."."""

import os
import select
import subprocess
import time

from .base import end_process

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# The pointer rests where it arrives before the press, as a hand's does: on a
# scaled output the program takes tens of milliseconds to load its cursor at
# the first entry, and a move it asks for late starts late.
ARRIVAL = 0.1


def client_path(name):
    """Where a client is built: as WINDOW_TEST_<NAME> says (the build's own,
    set by the tests), else in the default build."""
    variable = "WINDOW_TEST_" + name.upper().replace("-", "_")
    return os.environ.get(variable, os.path.join(REPO, "build", "tests", "wayland", name))


class InputClient:
    def __init__(self, command, env, check_compositor):
        """Starts the client; check_compositor raises, with the compositor's
        own word, when the compositor has ended."""
        self._name = os.path.basename(command[0])
        self._check_compositor = check_compositor
        self._process = subprocess.Popen(command, env=env, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self._answer("starting")

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

    def _answer(self, what, timeout=10):
        """The next line, which must be ok (or ready)."""
        fd = self._process.stdout.fileno()
        line = b""
        deadline = time.monotonic() + timeout
        while not line.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise AssertionError(f"{self._name} did not answer {what!r} within {timeout} s")
            chunk = os.read(fd, 1)
            if not chunk:
                self._check_compositor()
                raise RuntimeError(f"{self._name} ended at {what!r}: {line.decode()}")
            line += chunk
        if line not in (b"ok\n", b"ready\n"):
            self._check_compositor()
            raise RuntimeError(f"{self._name}, at {what!r}: {line.decode().strip()}")

    def send(self, command):
        self._process.stdin.write(command.encode() + b"\n")
        self._process.stdin.flush()
        self._answer(command)

    def drag(self, x, y, dx, dy, steps, pause, hold=lambda: None):
        """Presses at (x, y) of the desktop, holds still, moves by (dx, dy)
        in steps, calls hold() and releases."""
        self.send(f"move {x} {y}")
        time.sleep(ARRIVAL)
        self.send("button 1")
        time.sleep(pause)
        for i in range(1, steps + 1):
            self.send(f"move {x + dx * i // steps} {y + dy * i // steps}")
            time.sleep(0.02)
        hold()
        self.send("button 0")
