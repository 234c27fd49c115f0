"""The program's standard streams, driven for real: files, pipes, closed and
broken descriptors, without a display."""

import os
import re
import shutil
import subprocess
import time
import unittest

from harness import PROMPT, REPORT, program_env, run_program, scratch_dir


class CreationFailures(unittest.TestCase):
    def test_failures_write_their_error_line_then_the_prompt(self):
        cases = [
            ("nosuch", b'SDL_CreateWindow failed: "nosuch not available".\r\n'),
            ("dummy", b'SDL_CreateRenderer failed: "opengl not available".\r\n'),
        ]
        for driver, line in cases:
            with self.subTest(driver=driver):
                started = time.monotonic()
                result = run_program(program_env(SDL_VIDEO_DRIVER=driver))
                # stdin at its end: the prompt returns at once.
                self.assertLess(time.monotonic() - started, 5)
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stdout, line + PROMPT)

    def test_prompt_waits_for_a_line_and_leaves_the_rest_unread(self):
        env = program_env(SDL_VIDEO_DRIVER="nosuch")
        process = subprocess.Popen([os.environ["WINDOW_TEST_PROGRAM"]], env=env,
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL)
        try:
            out = b""
            while not out.endswith(PROMPT):
                chunk = os.read(process.stdout.fileno(), 4096)
                self.assertTrue(chunk, "stdout closed before the prompt")
                out += chunk
            time.sleep(0.3)
            self.assertIsNone(process.poll(), "the prompt did not wait")
            process.stdin.write(b"abc\r")
            process.stdin.flush()
            time.sleep(0.3)
            # A CR at the end of a read is decided only by the next one.
            self.assertIsNone(process.poll(), "a trailing CR ended the prompt early")
            process.stdin.write(b"\nmore input\r\n")
            process.stdin.flush()
            self.assertEqual(process.wait(10), 0)
            self.assertEqual(process.stdout.read(), b"")
        finally:
            if process.poll() is None:
                process.kill()
            process.wait()
            process.stdin.close()
            process.stdout.close()

    def test_stdout_in_a_file_gets_the_same_bytes(self):
        with scratch_dir() as tmp:
            path = os.path.join(tmp, "log")
            with open(path, "wb") as log:
                result = run_program(program_env(SDL_VIDEO_DRIVER="nosuch"), stdout=log)
            self.assertEqual(result.returncode, 0)
            with open(path, "rb") as log:
                self.assertEqual(log.read(),
                                 b'SDL_CreateWindow failed: "nosuch not available".\r\n' + PROMPT)


class ConsoleFailures(unittest.TestCase):
    """A failing stream ends the program at once with its status and the report."""

    def assert_report(self, result, status):
        self.assertEqual(result.returncode, status)
        match = REPORT.match(result.stderr)
        self.assertIsNotNone(match, result.stderr)
        self.assertEqual(int(match.group(1)), status)

    def test_failed_writes_end_with_status_101(self):
        env = program_env(SDL_VIDEO_DRIVER="nosuch")
        with open("/dev/full", "wb") as full:
            self.assert_report(run_program(env, stdout=full), 101)
        read_end, write_end = os.pipe()
        os.close(read_end)  # the reader has gone: no SIGPIPE death, a failed write
        try:
            self.assert_report(run_program(env, stdout=write_end), 101)
        finally:
            os.close(write_end)
        with open(os.devnull, "rb") as read_only:
            self.assert_report(run_program(env, stdout=read_only), 101)

    def test_failed_reads_end_with_the_status_of_their_error_code(self):
        env = program_env(SDL_VIDEO_DRIVER="nosuch")
        expected_out = b'SDL_CreateWindow failed: "nosuch not available".\r\n' + PROMPT
        with scratch_dir() as tmp:
            directory = os.open(tmp, os.O_RDONLY | os.O_DIRECTORY)
            write_only = os.open(os.devnull, os.O_WRONLY)
            cases = [
                ("closed", dict(preexec_fn=lambda: os.close(0)), 9),  # EBADF
                ("write-only", dict(stdin=write_only), 9),  # EBADF
                ("directory", dict(stdin=directory), 21 + 131),  # EISDIR
            ]
            try:
                for name, kwargs, status in cases:
                    with self.subTest(stdin=name):
                        result = run_program(env, **kwargs)
                        self.assertEqual(result.stdout, expected_out)
                        self.assert_report(result, status)
            finally:
                os.close(directory)
                os.close(write_only)

    def test_a_closed_stdout_does_not_leak_into_files_the_program_opens(self):
        # With fd 1 closed the next descriptor opened would be 1; the log must
        # not land in it, and the first write must fail as on a closed stream.
        env = program_env(SDL_VIDEO_DRIVER="nosuch")
        result = subprocess.run([os.environ["WINDOW_TEST_PROGRAM"]], env=env,
                                stdin=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                preexec_fn=lambda: os.close(1), timeout=30)
        self.assert_report(result, 101)


@unittest.skipIf(shutil.which("strace") is None, "strace is not installed")
class Delivery(unittest.TestCase):
    def test_each_line_reaches_stdout_in_one_write(self):
        with scratch_dir() as tmp:
            trace = os.path.join(tmp, "trace")
            result = subprocess.run(
                ["strace", "-f", "-e", "trace=write", "-s", "4096", "-xx", "-o", trace,
                 os.environ["WINDOW_TEST_PROGRAM"]],
                env=program_env(SDL_VIDEO_DRIVER="dummy"), stdin=subprocess.DEVNULL,
                capture_output=True, timeout=60)
            self.assertEqual(result.returncode, 0)
            with open(trace) as log:
                writes = re.findall(r'write\(1, "((?:\\x[0-9a-f]{2})*)", \d+\) = \d+', log.read())
        lines = [bytes.fromhex(w.replace("\\x", "")) for w in writes]
        self.assertEqual(lines, [b'SDL_CreateRenderer failed: "opengl not available".\r\n',
                                 PROMPT])


if __name__ == "__main__":
    unittest.main()
