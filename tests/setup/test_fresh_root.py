"""The README's ./run on a new user's machine: a fresh minimal Debian root of
one release (WINDOW_TEST_RELEASE, default trixie), a clone of this repository
at HEAD, and ./run as written, with no display, so that it installs what it
needs, builds, and runs the guided tour. A green run on a prepared machine
cannot show that set-up asks for everything it needs; this can.

Needs root, debootstrap and chroot. The pristine root is made once by
setup/debian_root.sh and copied for every run."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from desktop.root import PATH, SYSTEM_MOUNTS, end_processes_in, mount_into, mounts_starting, unmount

SOURCE = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
RELEASE = os.environ.get("WINDOW_TEST_RELEASE", "trixie")
SCRATCH_PREFIX = "window-test-root-"
# A cold ./run: the packages, the build (with SDL3's on a release without
# it) and the tour, on a busy machine.
RUN_TIMEOUT = 1800
# The releases that package no SDL3 of 3.2 or newer: set-up builds it there,
# and everywhere else the program is built against the system's.
WITHOUT_SDL3 = {"bookworm"}


class FreshRoot(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("making and entering a root takes root")
        for tool in ("debootstrap", "chroot", "git"):
            if not shutil.which(tool):
                self.skipTest(f"{tool} is missing (setup/deps.sh test installs it)")
        stale = mounts_starting(os.path.join(tempfile.gettempdir(), SCRATCH_PREFIX))
        self.assertEqual(stale, [], "an earlier run left these mounted")

    def test_run_builds_and_tours_in_a_fresh_root(self):
        started = time.monotonic()
        pristine = subprocess.run([os.path.join(SOURCE, "setup", "debian_root.sh"), RELEASE],
                                  stdout=subprocess.PIPE, text=True, timeout=1800,
                                  check=True).stdout.strip()
        print(f"{RELEASE} root ready in {time.monotonic() - started:.0f} s", flush=True)
        scratch = tempfile.mkdtemp(prefix=f"{SCRATCH_PREFIX}{RELEASE}-")
        root = os.path.join(scratch, "root")
        mounted = []
        try:
            subprocess.run(["cp", "-a", pristine, root], timeout=600, check=True)
            resolv = os.path.join(root, "etc", "resolv.conf")
            if os.path.lexists(resolv):
                os.remove(resolv)
            shutil.copyfile("/etc/resolv.conf", resolv)
            mounted = mount_into(root, SYSTEM_MOUNTS)
            clone = os.path.join(root, "root", "window-test")
            subprocess.run(["git", "clone", "--quiet", "--no-hardlinks", SOURCE, clone],
                           timeout=300, check=True)

            started = time.monotonic()
            # As a user types it in a terminal, less the display.
            run = subprocess.Popen(
                ["chroot", root, "/usr/bin/env", "-i", "HOME=/root", f"PATH={PATH}",
                 "bash", "-c", "cd /root/window-test && ./run"],
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                start_new_session=True)
            try:
                output, _ = run.communicate(timeout=RUN_TIMEOUT)
            except subprocess.TimeoutExpired:
                os.killpg(run.pid, signal.SIGKILL)
                output, _ = run.communicate(timeout=60)
            output = output.decode(errors="replace")
            print(output, flush=True)
            print(f"./run in a fresh {RELEASE} root ended with status {run.returncode} "
                  f"after {time.monotonic() - started:.0f} s", flush=True)
            self.assertEqual(run.returncode, 0, "./run failed (its output is above)")

            shots = re.findall(r"^== screenshot: (\S+)", output, re.MULTILINE)
            self.assertTrue(shots, "the tour announced no screenshots")
            for shot in shots:
                self.assertEqual(os.path.dirname(shot), "/root/window-test/build/tour")
                with open(root + shot, "rb") as image:
                    self.assertEqual(image.read(8), b"\x89PNG\r\n\x1a\n", shot)

            with open(os.path.join(clone, "build", "CMakeCache.txt"), encoding="utf-8") as cache:
                sdl3 = re.search(r"^SDL3_DIR:PATH=(.*)$", cache.read(), re.MULTILINE)[1]
            self.assertEqual(sdl3.startswith("/usr/"), RELEASE not in WITHOUT_SDL3,
                             f"the program was built against the SDL3 in {sdl3}")
        finally:
            # Whatever the run left behind holds the mounts.
            end_processes_in(root)
            unmount(mounted)
            left = mounts_starting(scratch + "/")
            if not left:
                subprocess.run(["rm", "-rf", "--one-file-system", scratch], timeout=600)
            self.assertEqual(left, [], "these stayed mounted")


if __name__ == "__main__":
    unittest.main()
