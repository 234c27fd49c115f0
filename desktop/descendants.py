"""Everything a process has started, and what that started in turn: found
in the kernel's process table, kept within reach when a parent ends and
leaves its children behind, and ended by each process's own id."""

import ctypes
import dataclasses
import glob
import os
import select
import signal
import time

PR_SET_CHILD_SUBREAPER = 36
# How long a process may take to go after SIGKILL, in uninterruptible sleep
# on a busy machine, before it counts as stuck.
KILL_TIMEOUT = 60


@dataclasses.dataclass(frozen=True)
class Process:
    """One process, told apart from a later one given the same id by its
    start time."""

    pid: int
    start: int
    name: str = dataclasses.field(compare=False)
    parent: int = dataclasses.field(compare=False)
    group: int = dataclasses.field(compare=False)
    running: bool = dataclasses.field(compare=False)  # False once ended, unreaped

    def __str__(self):
        return f"pid {self.pid} ({self.name})"


def become_subreaper():
    """Makes the orphans of this process's descendants its own children
    rather than pid 1's: they stay its descendants, to be found and ended."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0):
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


def process_of(pid):
    """The process of that id now, or None where there is none."""
    try:
        with open(f"/proc/{pid}/stat", encoding="utf-8", errors="replace") as stat:
            text = stat.read()
    except (FileNotFoundError, ProcessLookupError):
        return None
    # The name, between parentheses, may hold any character; the fields
    # after it are the 3rd (state), the 4th (parent), the 5th (process
    # group) ... the 22nd (start time).
    name, fields = text[text.index("(") + 1:text.rindex(")")], text[text.rindex(")") + 2:].split()
    return Process(pid, int(fields[19]), name, int(fields[1]), int(fields[2]),
                   fields[0] not in "ZX")


def processes():
    """Every process now, those ended but not yet reaped included."""
    found = (process_of(int(entry[6:])) for entry in glob.glob("/proc/[0-9]*"))
    return [process for process in found if process]


def group_running(group):
    """The running processes of a process group, wherever they descend from."""
    return [process for process in processes() if process.group == group and process.running]


def descendants():
    """Every process descended from this one, those ended but not yet
    reaped included."""
    children = {}
    for process in processes():
        children.setdefault(process.parent, []).append(process)
    found, parents = [], [os.getpid()]
    while parents:
        for child in children.get(parents.pop(), []):
            found.append(child)
            parents.append(child.pid)
    return found


def end_descendants(before, grace):
    """Ends every running descendant of this process that is not among
    before, by its own id: SIGTERM to each and up to grace seconds for them
    to go (none: straight to SIGKILL), then SIGKILL, and again for any they
    started meanwhile. Reaps what was left to this process. Returns the
    processes it ended."""
    ended = []
    while running := [p for p in descendants() if p.running and p not in before]:
        end(running, grace)
        ended += running
    # The orphans that had ended, and those just killed. A child this
    # process started and has not waited for is reaped too: it outlived the
    # processes it was started among.
    for process in descendants():
        if process.parent == os.getpid() and process not in before:
            try:
                os.waitpid(process.pid, os.WNOHANG)
            except ChildProcessError:
                pass  # reaped meanwhile
    return ended


def end(processes, grace):
    handles = handles_of(processes)
    try:
        if grace:
            send(handles, signal.SIGTERM)
            wait_for(handles, grace)
        send(handles, signal.SIGKILL)
        stuck = wait_for(handles, KILL_TIMEOUT)
    finally:
        for handle in handles.values():
            os.close(handle)
    if stuck:
        raise AssertionError(f"{', '.join(map(str, stuck))} outlived SIGKILL")


def handles_of(processes):
    """A pidfd for each process that is still there, by process: it names
    that process alone, even after its id has been given to another."""
    handles = {}
    for process in processes:
        try:
            handle = os.pidfd_open(process.pid)
        except ProcessLookupError:
            continue
        if process_of(process.pid) == process:
            handles[process] = handle
        else:
            os.close(handle)
    return handles


def send(handles, number):
    for handle in handles.values():
        try:
            signal.pidfd_send_signal(handle, number)
        except ProcessLookupError:
            pass  # reaped by its parent meanwhile


def wait_for(handles, timeout):
    """Waits up to timeout seconds for the processes to end; returns those
    still running."""
    poll = select.poll()
    for handle in handles.values():
        poll.register(handle, select.POLLIN)
    left = {handle: process for process, handle in handles.items()}
    deadline = time.monotonic() + timeout
    while left and (remaining := deadline - time.monotonic()) > 0:
        for handle, _ in poll.poll(remaining * 1000):
            poll.unregister(handle)
            del left[handle]
    return list(left.values())
