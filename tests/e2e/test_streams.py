"""Hostile standard streams: each ends exactly as the console promises, with
the status, the report on stderr, nothing written after the failure and no
crash."""

import os
import subprocess
import time
import unittest

from harness import PROGRAM, PROMPT, REPORT, Desktop, program_env, scratch_dir, tools_missing

CREATION_FAILED = b'SDL_CreateWindow failed: "nosuch not available".\r\n'


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
        process = subprocess.Popen([PROGRAM], env=program_env(SDL_VIDEO_DRIVER="nosuch"),
                                   stdin=terminal, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        os.close(terminal)
        try:
            out = b""
            while not out.endswith(PROMPT):
                chunk = os.read(process.stdout.fileno(), 4096)
                self.assertTrue(chunk)
                out += chunk
            os.close(controller)  # the terminal hangs up: reads fail with EIO
            controller = None
            process.wait(10)
            result = subprocess.CompletedProcess([], process.returncode,
                                                 out + process.stdout.read(),
                                                 process.stderr.read())
            self.assert_ending(result, 5, CREATION_FAILED + PROMPT)
        finally:
            if controller is not None:
                os.close(controller)
            if process.poll() is None:
                process.kill()
            process.wait()
            process.stdout.close()
            process.stderr.close()

    def test_input_one_byte_per_read_leaves_the_rest_unread(self):
        read_end, write_end = os.pipe()
        process = subprocess.Popen([PROGRAM], env=program_env(SDL_VIDEO_DRIVER="nosuch"),
                                   stdin=read_end, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        try:
            for byte in b"abc\r\n":
                time.sleep(0.05)  # each byte is a read of its own
                os.write(write_end, bytes([byte]))
            self.assertEqual(process.wait(10), 0)
            os.write(write_end, b"rest")
            os.close(write_end)
            write_end = None
            # What followed the line end is still in the pipe.
            self.assertEqual(os.read(read_end, 100), b"rest")
            self.assertEqual(process.stdout.read(), CREATION_FAILED + PROMPT)
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
            if process.poll() is None:
                process.kill()
            process.wait()
            process.stdout.close()
            process.stderr.close()


MISSING = tools_missing("Xvfb", "openbox", "xdotool", "wmctrl")


@unittest.skipIf(MISSING, f"missing {MISSING}")
class ReaderGoesAway(unittest.TestCase):
    def test_stdout_pipe_closed_mid_run(self):
        with Desktop() as desktop:
            read_end, write_end = os.pipe()
            process = subprocess.Popen([PROGRAM], env=desktop.env(), stdin=subprocess.PIPE,
                                       stdout=write_end, stderr=subprocess.PIPE)
            os.close(write_end)
            try:
                first = os.read(read_end, 4096)
                self.assertTrue(first)
                os.close(read_end)
                read_end = None
                # The next line the program writes, it cannot deliver: a window
                # event of its start, or else the one that M brings.
                try:
                    process.wait(3)
                except subprocess.TimeoutExpired:
                    desktop.focus(desktop.find_window())
                    desktop.xdotool("key", "m")
                self.assertEqual(process.wait(20), 101)
                self.assertRegex(process.stderr.read(), REPORT)
            finally:
                if read_end is not None:
                    os.close(read_end)
                if process.poll() is None:
                    process.kill()
                process.wait()
                process.stdin.close()
                process.stderr.close()


if __name__ == "__main__":
    unittest.main()
