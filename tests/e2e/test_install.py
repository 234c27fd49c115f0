"""The installed program, run from its install location: with the private
SDL3 it must find the library it was installed with."""

import os
import subprocess
import unittest

from harness import CREATION_FAILED, PROMPT, program_env, scratch_dir


class Install(unittest.TestCase):
    def test_installed_program_runs_from_its_prefix(self):
        with scratch_dir() as prefix:
            install = subprocess.run(
                ["cmake", "--install", os.environ["WINDOW_TEST_BUILD_DIR"], "--prefix", prefix],
                capture_output=True, text=True, timeout=120)
            self.assertEqual(install.returncode, 0, install.stdout + install.stderr)
            result = subprocess.run([os.path.join(prefix, "bin", "window-test")],
                                    env=program_env(SDL_VIDEO_DRIVER="nosuch"),
                                    stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (0, CREATION_FAILED + PROMPT, b""))


if __name__ == "__main__":
    unittest.main()
