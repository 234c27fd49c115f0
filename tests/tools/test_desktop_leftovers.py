"""What a desktop's processes leave behind ends with the desktop: orphans
made while it runs and when it stops, one of them deaf to SIGTERM, whether
the desktop stops or fails to start; and a process group that SIGTERM does
not end is killed whole. What ran before the desktop is left alone. The
desktop's home is removed only once all of them have ended."""

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


# A session bus's service as a window manager's session leaves it: on
# SIGTERM it is still writing its settings into the desktop's home for a
# moment, and it says on its standard output whether the write went in.
# The leader ends at once, as dbus-run-session does; the service stays in
# its group, or has left it for a session of its own, as a daemon does.
FLUSHES_ON_TERM = ("trap 'sleep 0.3; echo flushed > \"$1/settings/channel.xml\" && echo wrote "
                   "|| echo lost; exit' TERM; echo up; while :; do sleep 0.05; done")
SERVICE = {False: "sh -c \"$0\" service \"$1\" &", True: "setsid sh -c \"$0\" service \"$1\" &"}


class SessionDesktop(Desktop):
    """Starts a leader of its own process group with one service writing
    into the desktop's home, and ends the group."""

    name = "session"

    def __init__(self, service_leaves_group):
        self.service_leaves_group = service_leaves_group
        self.home = self.said = self.first_word = self._leader = None

    def _start(self):
        self.home = self.scratch_directory("window-test-leftovers-")
        os.mkdir(os.path.join(self.home, "settings"))
        leader = f"{SERVICE[self.service_leaves_group]} wait"
        self._leader = subprocess.Popen(["sh", "-c", leader, FLUSHES_ON_TERM, self.home],
                                        stdout=subprocess.PIPE, text=True,
                                        start_new_session=True)
        self.said = self._leader.stdout
        self.first_word = self.said.readline()

    def _stop(self):
        end_process(self._leader)


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


    def test_the_home_outlives_every_process_that_writes_into_it(self):
        for leaves_group in (False, True):
            with self.subTest(service_leaves_group=leaves_group):
                desktop = SessionDesktop(leaves_group)
                with contextlib.redirect_stderr(io.StringIO()), desktop:
                    self.assertEqual(desktop.first_word, "up\n")
                with desktop.said:
                    self.assertEqual(desktop.said.read(), "wrote\n",
                                     "the home was removed while a service still wrote into it")
                self.assertFalse(os.path.exists(desktop.home), "the home was left behind")


if __name__ == "__main__":
    unittest.main()
