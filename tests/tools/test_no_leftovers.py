"""tests/no_leftovers.py on commands that leave nothing, a process or a
mount behind: it passes the command's status on where nothing is left, and
otherwise fails, names what was left and kills the processes."""

import os
import shlex
import signal
import subprocess
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "no_leftovers.py")
# A process that says its id once it has set SIGTERM aside.
IGNORES_TERM = "trap '' TERM; echo $$; exec sleep 300"
# Says the id of the process $pid once it has become sleep, so that the
# wrapper sees it as that.
SAY_SLEEP = 'until read name < /proc/$pid/comm && [ "$name" = sleep ]; do :; done; echo $pid'
# The orphans write to neither of the wrapper's pipes, which would stay
# open as long as they run.
QUIET = ">/dev/null 2>&1"

CASES = [
    # (name, command, its status through the wrapper, whether it leaves a
    # process whose id it prints)
    ("nothing left, success", ["true"], 0, False),
    ("nothing left, failure", ["sh", "-c", "exit 3"], 3, False),
    ("an orphan", ["sh", "-c", f"sleep 300 {QUIET} & pid=$!; {SAY_SLEEP}"], 1, True),
    ("an orphan of a failed command",
     ["sh", "-c", f"sleep 300 {QUIET} & pid=$!; {SAY_SLEEP}; exit 5"], 5, True),
    # As at a Ctrl-C, which the command hears too.
    ("an orphan, and SIGINT for the wrapper",
     ["sh", "-c", f"sleep 300 {QUIET} & pid=$!; {SAY_SLEEP}; kill -INT $PPID"], 1, True),
    ("an orphan that ignores SIGTERM",
     ["bash", "-c", f"read pid < <(sh -c {shlex.quote(IGNORES_TERM)} 2>/dev/null); {SAY_SLEEP}"],
     1, True),
]


def wrapped(command):
    """The wrapper's run of the command. Should the wrapper hang, it is
    killed with what it started, which stays in its process group."""
    with subprocess.Popen([SCRIPT, *command], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, start_new_session=True) as process:
        try:
            stdout, stderr = process.communicate(timeout=120)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            raise
    return subprocess.CompletedProcess(process.args, process.returncode, stdout, stderr)


def still_there(pid):
    return os.path.exists(f"/proc/{pid}")


def kill_if_there(pid):
    if still_there(pid):
        os.kill(pid, signal.SIGKILL)


class NoLeftovers(unittest.TestCase):
    def test_processes(self):
        for name, command, status, leaves in CASES:
            with self.subTest(name):
                result = wrapped(command)
                if not leaves:
                    self.assertEqual((result.returncode, result.stderr), (status, ""))
                    continue
                pid = int(result.stdout.split()[-1])
                self.addCleanup(kill_if_there, pid)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertRegex(result.stderr, rf"^no_leftovers.py: left running, killed: "
                                                rf"pid {pid} \(sleep\)\n$")
                self.assertFalse(still_there(pid), f"pid {pid} is still there")

    @unittest.skipUnless(os.geteuid() == 0, "mounting takes root")
    def test_a_mount(self):
        with tempfile.TemporaryDirectory() as directory:
            try:
                result = wrapped(["mount", "-t", "tmpfs", "none", directory])
            finally:
                subprocess.run(["umount", directory], capture_output=True, timeout=60)
            self.assertEqual(
                (result.returncode, result.stderr),
                (1, f"no_leftovers.py: left mounted: {os.path.realpath(directory)}\n"))


if __name__ == "__main__":
    unittest.main()
