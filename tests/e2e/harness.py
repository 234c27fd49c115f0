"""Runs the real program for the tests: on a virtual desktop with a real
window manager or compositor (the one WINDOW_TEST_DESKTOP names, openbox-x11 if
none), with real pipes and files on its standard streams."""

import contextlib
import os
import re
import subprocess
import tempfile

# The tests share the desktop driver with the tools; they import it from here.
from desktop import (EVENT_LINE, GREY, PROMPT, WINE, Program, library_release,  # noqa: F401
                     open_desktop, painted_grey, program_env, read_pixels, wait_until, wine_env,
                     wine_server)
from desktop import day  # noqa: F401

PROGRAM = os.environ.get("WINDOW_TEST_PROGRAM", "")
DESKTOP = os.environ.get("WINDOW_TEST_DESKTOP", "openbox-x11")
# The error line of a window the library cannot create with the "nosuch" driver.
CREATION_FAILED = b'SDL_CreateWindow failed: "nosuch not available".\r\n'
# The three-line report of a console failure on standard error.
REPORT = re.compile(rb"^Runtime error (\d+) at \$([0-9A-F]{16})\r\n  \$\2\r\n\r\n$")


def stray_lines(lines, *allowed_prefixes):
    """The lines that are neither event lines, nor the prompt, nor start with
    one of the allowed prefixes; and the event lines whose time stamp is
    below the one before, or that repeat the one before but for the time
    stamp (the library sends none of these events for a state the window
    is already in, so a repeat is a line written twice)."""
    stray, last, previous = [], 0, None
    for line in lines:
        if EVENT_LINE.match(line):
            stamp, event = line.split(maxsplit=1)
            if int(stamp) < last or event == previous:
                stray.append(line)
            last, previous = int(stamp), event
        elif line != PROMPT and not line.startswith(allowed_prefixes):
            stray.append(line)
    return stray


def wait_for_outcome(program, got, want, what, seen, timeout=5):
    """Waits until got() == want; a time-out says what came instead and
    what the program logged after its first seen events."""
    try:
        wait_until(lambda: got() == want, timeout, what)
    except AssertionError as timeout_error:
        raise AssertionError(f"{timeout_error}: expected {want}, got {got()}, logging "
                             f"{program.events()[seen:]}") from None


def program_on(desktop):
    """The program a desktop runs: in a root of another release, the one
    built there."""
    return desktop.program(PROGRAM) if desktop else PROGRAM


def start_program(desktop, **extra_env):
    return Program(desktop, [program_on(desktop)], **extra_env)


def run_program(env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, timeout=30, **kwargs):
    """Runs the program to its end and returns the completed process."""
    return subprocess.run([PROGRAM], env=env, stdin=stdin, stdout=stdout,
                          stderr=subprocess.PIPE, timeout=timeout, **kwargs)


@contextlib.contextmanager
def spawned(stdin, stdout=subprocess.PIPE, env=None, **popen):
    """The program started without a display (unless env names one) on the
    given streams (stderr piped); killed if need be, and reaped, on the way
    out."""
    process = subprocess.Popen([PROGRAM], env=env or program_env(SDL_VIDEO_DRIVER="nosuch"),
                               stdin=stdin, stdout=stdout, stderr=subprocess.PIPE, **popen)
    try:
        yield process
    finally:
        if process.poll() is None:
            process.kill()
        process.wait()
        for stream in (process.stdin, process.stdout, process.stderr):
            if stream:
                stream.close()


def read_until_prompt(process):
    output = b""
    while not output.endswith(PROMPT):
        chunk = os.read(process.stdout.fileno(), 4096)
        if not chunk:
            raise AssertionError(f"stdout ended before the prompt: {output!r}")
        output += chunk
    return output


def desktop(name=DESKTOP):
    """The desktop the tests run on, not yet started."""
    return open_desktop(name)


# What a test on the virtual desktop needs and this machine lacks.
DESKTOP_MISSING = desktop().missing()


@contextlib.contextmanager
def scratch_dir():
    with tempfile.TemporaryDirectory(prefix="window-test-") as path:
        yield path
