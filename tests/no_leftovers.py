#!/usr/bin/env python3
"""Runs a command and fails where it leaves anything behind: a process
still running that it started (orphaned, it comes to this one), or a mount
point that was not there before.

    tests/no_leftovers.py COMMAND [ARGS...]

Says each on standard error, one a line; kills the processes (the mounts it
only names: what to do with one is for whoever made it). Exits with the
command's status, or 1 where that was 0 and something was left.
"""

import collections
import os
import re
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.descendants import become_subreaper, end_descendants  # noqa: E402

OCTAL = re.compile(r"\\([0-7]{3})")


def mount_points():
    """Every mount point of this mount namespace, as often as it is mounted on."""
    with open("/proc/self/mountinfo", encoding="utf-8") as table:
        # The 5th field, with a space, a tab, a new line or a backslash in
        # it written as three octal digits after a backslash.
        return collections.Counter(OCTAL.sub(lambda digits: chr(int(digits[1], 8)),
                                             line.split()[4]) for line in table)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__.strip())
    become_subreaper()
    before = mount_points()
    # A Ctrl-C is for the command, which hears it too: this process carries
    # on to see what it left. A handler, unlike SIG_IGN, is not inherited.
    signal.signal(signal.SIGINT, lambda *_: None)
    status = subprocess.run(sys.argv[1:]).returncode
    left = [f"left running, killed: {process}" for process in end_descendants(set(), 0)]
    left += [f"left mounted: {path}" for path in (mount_points() - before).elements()]
    for line in left:
        print(f"{os.path.basename(sys.argv[0])}: {line}", file=sys.stderr)
    if status < 0:
        status = 128 - status  # as a shell says a command ended by a signal
    sys.exit(status or (1 if left else 0))


if __name__ == "__main__":
    main()
