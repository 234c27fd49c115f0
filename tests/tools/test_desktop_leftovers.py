"""A process group that SIGTERM does not end is killed whole."""

import os
import select
import shlex
import signal
import subprocess
import unittest

from desktop.base import end_process

# Says its id once it has set SIGTERM aside, then sleeps.
IGNORES_TERM = "trap '' TERM; echo $$; exec sleep 300"


def still_there(pid):
    return os.path.exists(f"/proc/{pid}")


def kill_if_there(pid):
    if still_there(pid):
        os.kill(pid, signal.SIGKILL)


class DesktopLeftovers(unittest.TestCase):
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
