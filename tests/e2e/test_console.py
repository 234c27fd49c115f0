"""The program's standard streams, driven for real: files, pipes, closed and
broken descriptors, without a display."""

import os
import re
import shutil
import subprocess
import time
import unittest

from harness import (CREATION_FAILED, PROMPT, program_env, read_until_prompt, run_program,
                     scratch_dir, spawned)


class CreationFailures(unittest.TestCase):
    def test_failures_write_their_error_line_then_the_prompt(self):
        cases = [
            ("nosuch", CREATION_FAILED),
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
        with spawned(stdin=subprocess.PIPE) as process:
            read_until_prompt(process)
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

    def test_stdout_in_a_file_gets_the_same_bytes(self):
        with scratch_dir() as tmp:
            path = os.path.join(tmp, "log")
            with open(path, "wb") as log:
                result = run_program(program_env(SDL_VIDEO_DRIVER="nosuch"), stdout=log)
            self.assertEqual(result.returncode, 0)
            with open(path, "rb") as log:
                self.assertEqual(log.read(), CREATION_FAILED + PROMPT)


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
