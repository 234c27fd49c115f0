"""What a desktop's processes leave behind ends with the desktop: orphans
made while it runs and when it stops, one of them deaf to SIGTERM, whether
the desktop stops or fails to start; and a process group that SIGTERM does
not end is killed whole. What ran before the desktop is left alone."""

import contextlib
import io
import os
import select
import shlex
import signal
import subprocess
import unittest

from desktop.base import Desktop, end_process

# Says its id once it has set SIGTERM aside, then sleeps.
IGNORES_TERM = "trap '' TERM; echo $$; exec sleep 300"
# A compositor's stand-in: a child that starts one that ignores SIGTERM and
# ends at once, leaving it an orphan while the desktop runs; and one more
# that its parent's end leaves behind. Each says its id.
LEAKY = f"sh -c {shlex.quote(f'sh -c {shlex.quote(IGNORES_TERM)} &')}; sleep 300 & echo $!; wait"


class LeakyDesktop(Desktop):
    """Starts LEAKY, and ends only that process."""

    name = "leaky"

    def __init__(self, fails_to_start):
        self.fails_to_start = fails_to_start
        self.pids = []
        self._process = None

    def _start(self):
        self._process = subprocess.Popen(["sh", "-c", LEAKY], stdout=subprocess.PIPE, text=True)
        self.pids = [int(self._process.stdout.readline()) for _ in range(2)]
        if self.fails_to_start:
            raise RuntimeError("the desktop did not start")

    def _stop(self):
        end_process(self._process)
        self._process.stdout.close()


def still_there(pid):
    return os.path.exists(f"/proc/{pid}")


def kill_if_there(*pids):
    for pid in pids:
        if still_there(pid):
            os.kill(pid, signal.SIGKILL)


class DesktopLeftovers(unittest.TestCase):
    def test_what_a_desktop_left_ends_with_it(self):
        for fails_to_start in (False, True):
            with self.subTest(fails_to_start=fails_to_start):
                earlier = subprocess.Popen(["sleep", "300"])
                self.addCleanup(end_process, earlier)
                desktop = LeakyDesktop(fails_to_start)
                self.addCleanup(lambda desktop=desktop: kill_if_there(*desktop.pids))
                said = io.StringIO()
                with contextlib.redirect_stderr(said), contextlib.suppress(RuntimeError), desktop:
                    pass
                self.assertEqual(len(desktop.pids), 2)
                self.assertEqual([pid for pid in desktop.pids if still_there(pid)], [])
                lines = said.getvalue().splitlines()
                for line in lines:
                    self.assertRegex(line, r"^leaky: ended pid \d+ \(\S+\), left running after "
                                           r"the desktop stopped$")
                self.assertEqual(sorted(int(line.split()[3]) for line in lines),
                                 sorted(desktop.pids))
                self.assertIsNone(earlier.poll(), "a process from before the desktop ended")

    def test_a_group_deaf_to_sigterm_is_killed_whole(self):
        # The leader and its child both ignore SIGTERM; the child says its id.
        leader = subprocess.Popen(["sh", "-c", f"trap '' TERM; sh -c {shlex.quote(IGNORES_TERM)}"],
                                  stdout=subprocess.PIPE, text=True, start_new_session=True)
        child = int(leader.stdout.readline())
        self.assertNotEqual(child, leader.pid)
        self.addCleanup(kill_if_there, child)
        handle = os.pidfd_open(child)
        self.addCleanup(os.close, handle)
        end_process(leader, timeout=0.5)
        leader.stdout.close()
        self.assertTrue(select.select([handle], [], [], 10)[0], "the leader's child outlived it")


if __name__ == "__main__":
    unittest.main()
