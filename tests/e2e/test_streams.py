"""Hostile standard streams: each ends exactly as the console promises, with
the status, the report on stderr, nothing written after the failure and no
crash."""

import os
import subprocess
import time
import unittest

from harness import (CREATION_FAILED, DESKTOP_MISSING, PROGRAM, PROMPT, REPORT, desktop,
                     program_env, read_until_prompt, scratch_dir, spawned, stray_lines,
                     wait_until)


def closed_stdout():
    return {"stdout": None, "preexec_fn": lambda: os.close(1)}, lambda: None


def full_device():
    full = open("/dev/full", "wb")
    return {"stdout": full}, full.close


def pipe_without_reader():
    read_end, write_end = os.pipe()
    os.close(read_end)
    return {"stdout": write_end}, lambda: os.close(write_end)


def read_only_stdout():
    fd = os.open(os.devnull, os.O_RDONLY)
    return {"stdout": fd}, lambda: os.close(fd)


def closed_stdin():
    return {"preexec_fn": lambda: os.close(0)}, lambda: None


def empty_stdin():
    return {"stdin": subprocess.DEVNULL}, lambda: None


def directory_stdin():
    fd = os.open("/", os.O_RDONLY | os.O_DIRECTORY)
    return {"stdin": fd}, lambda: os.close(fd)


def write_only_stdin():
    fd = os.open(os.devnull, os.O_WRONLY)
    return {"stdin": fd}, lambda: os.close(fd)


def huge_line_stdin(tmp):
    path = os.path.join(tmp, "huge")
    with open(path, "wb") as huge:
        huge.write(b"x" * (8 << 20) + b"\r\nnext line\r\n")
    stdin = open(path, "rb")
    return {"stdin": stdin}, stdin.close


# (name, streams, exit status, what stdout holds: None where it cannot be read)
CASES = [
    ("stdout closed", closed_stdout, 101, None),
    ("stdout on a full device", full_device, 101, None),
    ("stdout on a pipe without reader", pipe_without_reader, 101, None),
    ("stdout opened read-only", read_only_stdout, 101, None),
    ("stdin closed", closed_stdin, 9, CREATION_FAILED + PROMPT),  # EBADF
    ("stdin at its end", empty_stdin, 0, CREATION_FAILED + PROMPT),
    ("stdin a directory", directory_stdin, 21 + 131, CREATION_FAILED + PROMPT),  # EISDIR
    ("stdin opened write-only", write_only_stdin, 9, CREATION_FAILED + PROMPT),
    ("stdin a line of 8 MiB", huge_line_stdin, 0, CREATION_FAILED + PROMPT),
]


def waits_in_read(pid):
    with open(f"/proc/{pid}/syscall") as syscall:
        return syscall.read().split()[:2] == ["0", "0x0"]  # read(0, ...)


class HostileStreams(unittest.TestCase):
    def run_case(self, streams, **extra):
        kwargs = {"stdin": subprocess.DEVNULL, "stdout": subprocess.PIPE,
                  "stderr": subprocess.PIPE}
        kwargs.update(streams)
        return subprocess.run([PROGRAM], env=program_env(SDL_VIDEO_DRIVER="nosuch"),
                              timeout=60, **kwargs)

    def assert_ending(self, result, status, stdout):
        self.assertEqual(result.returncode, status)
        if stdout is not None:
            self.assertEqual(result.stdout, stdout)
        if status == 0:
            self.assertEqual(result.stderr, b"")
        else:
            match = REPORT.match(result.stderr)
            self.assertIsNotNone(match, result.stderr)
            self.assertEqual(int(match.group(1)), status)

    def test_table(self):
        with scratch_dir() as tmp:
            for name, make, status, stdout in CASES:
                with self.subTest(case=name):
                    streams, cleanup = make(tmp) if make is huge_line_stdin else make()
                    try:
                        self.assert_ending(self.run_case(streams), status, stdout)
                    finally:
                        cleanup()

    def test_terminal_that_hangs_up_at_the_prompt(self):
        controller, terminal = os.openpty()
        with spawned(stdin=terminal) as process:
            os.close(terminal)
            output = read_until_prompt(process)
            # Hung up under a read that waits, the read fails with EIO (one
            # that starts after the hang-up sees the end of input instead).
            wait_until(lambda: waits_in_read(process.pid), 10, "the prompt's read")
            os.close(controller)
            process.wait(10)
            self.assert_ending(subprocess.CompletedProcess(
                [], process.returncode, output + process.stdout.read(), process.stderr.read()),
                5, CREATION_FAILED + PROMPT)

    def test_input_one_byte_per_read_leaves_the_rest_unread(self):
        read_end, write_end = os.pipe()
        with spawned(stdin=read_end) as process:
            for byte in b"abc\r\n":
                time.sleep(0.05)  # each byte is a read of its own
                os.write(write_end, bytes([byte]))
            self.assertEqual(process.wait(10), 0)
            self.assertEqual(process.stdout.read(), CREATION_FAILED + PROMPT)
        os.write(write_end, b"rest")
        os.close(write_end)
        # What followed the line end is still in the pipe.
        self.assertEqual(os.read(read_end, 100), b"rest")
        os.close(read_end)


MISSING = DESKTOP_MISSING
# The closed descriptors again where the display connection opens after
# them and would take their numbers, were they left free.
ON_A_DISPLAY = ["stdout closed", "stdin closed"]


@unittest.skipIf(MISSING, f"missing {MISSING}")
class OnADisplay(unittest.TestCase):
    def run_to_its_end(self, screen, process):
        """Waits for the program to end at its first line that cannot be
        written (one of its start, or else the one M brings), or else at the
        prompt's read after SIGTERM."""
        # Its end, or its window shown with the focus (openbox gives a new
        # window the focus), whichever comes first: on a busy machine the
        # start can take longer than any pause, and a window can be gone
        # again by the time it would be looked for or focused.
        def ended_or_focused():
            if process.poll() is not None:
                return True
            window = screen.x_window()
            return window and screen.focused_window() == window
        wait_until(ended_or_focused, 20, "the program to end or have the focus")
        if process.poll() is None:
            screen.key("m")
        for nudge in (lambda: None, process.terminate):
            nudge()
            try:
                return process.wait(5)
            except subprocess.TimeoutExpired:
                pass
        self.fail("still running 5 s after SIGTERM")

    def test_closed_streams(self):
        with desktop() as screen:
            for name, make, status, _ in CASES:
                if name not in ON_A_DISPLAY:
                    continue
                with self.subTest(case=name):
                    streams, cleanup = make()
                    streams.setdefault("stdin", subprocess.DEVNULL)
                    try:
                        with spawned(env=screen.env(), **streams) as process:
                            self.assertEqual(self.run_to_its_end(screen, process), status)
                            self.assertRegex(process.stderr.read(), REPORT)
                            if process.stdout:
                                stdout = process.stdout.read()
                                self.assertTrue(stdout.endswith(PROMPT), stdout[-200:])
                                self.assertEqual(stray_lines(stdout.splitlines(True),
                                                             b"SDL_GetPointerProperty failed: "),
                                                 [])
                    finally:
                        cleanup()

    def test_stdout_pipe_closed_mid_run(self):
        read_end, write_end = os.pipe()
        with desktop() as screen, spawned(subprocess.DEVNULL, write_end,
                                          screen.env()) as process:
            os.close(write_end)
            self.assertTrue(os.read(read_end, 4096))
            os.close(read_end)
            self.assertEqual(self.run_to_its_end(screen, process), 101)
            self.assertRegex(process.stderr.read(), REPORT)


if __name__ == "__main__":
    unittest.main()
