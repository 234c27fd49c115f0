"""Debian roots of other releases, and the desktops of a release started
inside its root: its compositors, window managers, X servers and the program
built there against its own libraries, driven from this system through the
sockets they make under /tmp, which is the same directory inside and out."""

import glob
import os
import signal
import subprocess
import time

ROOTS = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
                     "window-test", "roots")
# Bind-mounted into a root, in this order; unmounted in the reverse one.
SYSTEM_MOUNTS = ["proc", "sys", "dev", "dev/pts", "dev/shm"]
# Where set-up builds the program inside a desktop root.
PROGRAM = "/opt/window-test/build/window-test"
PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"


def mounts_starting(prefix):
    """Mount points whose paths start with prefix, from the kernel's table."""
    with open("/proc/self/mountinfo", encoding="utf-8") as table:
        targets = [line.split()[4].replace("\\040", " ") for line in table]
    return [target for target in targets if target.startswith(prefix)]


def processes_in(root):
    """Ids of the processes whose root directory is root."""
    found = []
    for entry in glob.glob("/proc/[0-9]*/root"):
        try:
            if os.readlink(entry) == root:
                found.append(int(entry.split("/")[2]))
        except OSError:
            pass  # ended meanwhile
    return found


def end_processes_in(root, timeout=30):
    """Kills whatever still runs in a scratch root that only its caller uses."""
    deadline = time.monotonic() + timeout
    while pids := processes_in(root):
        if time.monotonic() > deadline:
            raise AssertionError(f"processes {pids} in {root} outlived SIGKILL")
        for pid in pids:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        time.sleep(0.2)


def mount_into(root, names):
    """Bind-mounts each of this system's directories of those names onto
    the root's; returns the mount points made, for unmount()."""
    mounted = []
    try:
        for name in names:
            target = os.path.join(root, name)
            subprocess.run(["mount", "--bind", "/" + name, target], timeout=60, check=True)
            mounted.append(target)
    except BaseException:
        unmount(mounted)
        raise
    return mounted


def unmount(targets):
    # A mount still held by a process that is on its way out goes once it has.
    for target in reversed(targets):
        if subprocess.run(["umount", target], timeout=60).returncode:
            subprocess.run(["umount", "-l", target], timeout=60, check=True)


# Runs a command in a root ($1) in a mount namespace of its own, in which
# this system's proc, sys, dev and /tmp are bind-mounted into the root: the
# mounts are seen by that process and what it starts alone, and go with them.
# Two desktops in one root, at once, cannot take each other's mounts away.
IN_ROOT = """\
root=$1; shift
for name in {mounts}; do mount --bind "/$name" "$root/$name" || exit 125; done
exec chroot "$root" "$@"
"""


class Root:
    """The cached root of one release with its desktops installed and the
    program built in it (setup/desktop_root.py). What runs in it sees this
    system's proc, sys, dev and /tmp there, in a mount namespace of its own."""

    def __init__(self, release):
        self.release = release
        self.path = os.path.join(ROOTS, f"{release}-desktops")
        self.program = PROGRAM

    def missing(self):
        """Why the root cannot be used here, or None."""
        if os.geteuid() != 0:
            return "entering a root takes root"
        if not os.path.exists(self.path + ".complete"):
            return f"no {self.release} desktop root (setup/desktop_root.py {self.release})"
        if not os.path.exists(self.path + self.program):
            return f"the program is not built in the {self.release} root"
        return None

    def which(self, tool):
        """Where the root's command of that name is, as this system sees it,
        or None."""
        paths = [tool] if os.path.isabs(tool) else [os.path.join(d, tool) for d in PATH.split(":")]
        return next((self.path + path for path in paths if os.path.exists(self.path + path)), None)

    def command(self, args):
        """The command line that runs args in the root. The process keeps
        the id the command is started with: each step execs the next."""
        script = IN_ROOT.format(mounts=" ".join([*SYSTEM_MOUNTS, "tmp"]))
        return ["unshare", "--mount", "--propagation", "private", "--", "sh", "-c", script,
                "in-root", self.path, *args]
