"""Runs one scripted session of the program on every desktop this machine
can start, and the Windows build under Wine, and writes what each desktop
did, action by action, to docs/desktops.md: the desktop's version, the lines
the program logged (labels and values, without time stamps), how the window
reached the desktop, which SDL3 the program ran with, whether the window
really moved, resized or was hidden, what the library printed on standard
error, and how many of 100 drags the desktop took over, with the machine's
load meanwhile. A summary of every desktop, derived from the cells, opens the
page. Named desktops alone are run with --desktops; the others keep their
cells."""

import argparse
import os
import re
import sys
import time

from desktop import (DESKTOPS, EVENT_LINE, RELEASES, WINE, Program, desktop_name,
                     library_release, open_desktop, package_version, wait_until, wine_env,
                     wine_server)
from tools import matrix_table
from tools.matrix_summary import (HANDOVERS, LIBRARY, LOAD, PATH, PATHS, SCREEN, START, STDERR,
                                  VERSION, WARNINGS, load_line)

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, ".."))
OUTPUT = os.path.join(ROOT, "docs", "desktops.md")

# (name, what the scripted user does): a drag from a point of the window
# (negative coordinates count from the right or bottom edge) by an offset,
# a click there with a button (1 the left, 3 the right) a number of times,
# a key, or closing the window.
ACTIONS = [
    ("drag the strip", ("drag", (300, 50), (80, 60))),
    ("left edge", ("drag", (5, 240), (-40, 0))),
    ("right edge", ("drag", (-5, 240), (40, 0))),
    ("top edge", ("drag", (320, 5), (0, -40))),
    ("bottom edge", ("drag", (320, -5), (0, 40))),
    ("top-left corner", ("drag", (5, 5), (-40, -40))),
    ("top-right corner", ("drag", (-5, 5), (40, -40))),
    ("bottom-left corner", ("drag", (5, -5), (-40, 40))),
    ("bottom-right corner", ("drag", (-5, -5), (40, 40))),
    ("right-click the strip", ("click", (300, 50), 3, 1)),
    ("double-click the strip", ("click", (300, 50), 1, 2)),
    ("F", ("key", "f")),
    ("W", ("key", "w")),
    ("M", ("key", "m")),
    ("R", ("key", "r")),
    ("N", ("key", "n")),
    ("close", ("close",)),
]
ROWS = ([VERSION, PATH, LIBRARY, START, HANDOVERS, LOAD] + [name for name, _ in ACTIONS]
        + [SCREEN, STDERR, WARNINGS])
# A log line's time of day and the numbers of protocol objects, which differ
# from run to run.
VARYING = re.compile(r"\d\d:\d\d:\d\d\.\d+:? ?|(?<=@)\d+|(?<=:)\d+(?=\))")
HANDOVER_DRAGS = 100
WINE_COLUMN = "Windows build (Wine, openbox)"
# Every column: the program on each desktop, then the Windows build.
COLUMNS = list(DESKTOPS) + [WINE_COLUMN]
# Each release's desktops together, this system's first.
GENERATIONS = list(RELEASES.items())
def logged(lines):
    """The event lines as label and values, each label once, in the order of
    its first line, with its first and last values and its count."""
    values = {}
    for line in lines:
        match = EVENT_LINE.match(line)
        if match:
            label, d1, d2 = match.groups()
            label = label.decode().removeprefix("SDL_EVENT_WINDOW_")
            values.setdefault(label, []).append(f"{d1.decode()},{d2.decode()}" if d1 else "")
    text = []
    for label, seen in values.items():
        if len(seen) == 1:
            text.append(f"{label} {seen[0]}".strip())
        elif seen[0]:
            text.append(f"{label} {seen[0]} … {seen[-1]} ({len(seen)})")
        else:
            text.append(f"{label} ({len(seen)})")
    return text


def place(program):
    """The window's geometry and whether the desktop has hidden it, or None
    where the desktop has it no more."""
    try:
        return program.geometry(), program.desktop.window_hidden(program.window)
    except (AssertionError, RuntimeError):
        return None


def change(before, after):
    if before is None or after is None:
        return {(True, True): "not on the screen", (False, True): "off the screen",
                (True, False): "back on the screen"}[(before is None, after is None)]
    (geometry, hidden), (new_geometry, now_hidden) = before, after
    if hidden != now_hidden:
        return "hidden" if now_hidden else "shown again"
    moved, resized = geometry[:2] != new_geometry[:2], geometry[2:] != new_geometry[2:]
    return {(False, False): "no change", (True, False): "moved", (False, True): "resized",
            (True, True): "moved and resized"}[(moved, resized)]


def on_the_screen(painted, black):
    """The cell of what the screen showed after a key, from
    Watched.story(): when the window showed painted all over its new place,
    and for how long part of it showed black before."""
    if painted is None:
        return "not painted all over by the time the screen held still"
    if not painted:  # no new picture came
        return "unchanged, painted all over as before the key"
    text = f"painted all over {painted:.2f} s after the key"
    return text + (f", black in part for {black:.2f} s before" if black else "")


def quiet(program, seconds=0.5, timeout=5):
    """Waits until the log has been still for a while."""
    def still():
        count = len(program.lines())
        time.sleep(seconds)
        return len(program.lines()) == count
    try:
        wait_until(still, timeout, "the log to be still")
    except AssertionError:
        pass  # a desktop that keeps the program busy: take what there is


def load_average():
    """The machine's 1-minute load average: other work on it delays the
    desktop's answers as a fault would, and the counts are read with it."""
    with open("/proc/loadavg") as loadavg:
        return float(loadavg.read().split()[0])


def count_handovers(desktop, program):
    """How many of HANDOVER_DRAGS strip drags, back and forth, moved the window."""
    if not desktop.takes_move_requests:
        return "not counted: the window manager does not act on the move request"
    taken = 0
    for number in range(HANDOVER_DRAGS):
        sign = 1 if number % 2 == 0 else -1
        before = program.geometry()
        expected = (before[0] + sign * 40, before[1] + sign * 30, *before[2:])
        desktop.drag(program.window, 300, 50, sign * 40, sign * 30, 5, 0.05)
        try:
            wait_until(lambda: program.geometry() == expected, 2, "the drag's outcome")
            taken += 1
        except AssertionError:
            time.sleep(0.5)
    return f"{taken} of {HANDOVER_DRAGS}"


def session(desktop, command, version, **extra_env):
    """The column of one desktop, whose own program has that version: row
    name to cell lines."""
    column = {VERSION: [version or "unknown"]}
    logged_before = len(desktop.log())
    with Program(desktop, command, **extra_env) as program:
        program.wait_for_window(timeout=60)
        column[PATH] = [PATHS[desktop.window_path(program.window)]]
        release = library_release(desktop, command[-1])
        column[LIBRARY] = [f"SDL {'.'.join(map(str, release))}" if release else "unknown"]
        wait_until(program.events, 30, "the loop's first lines")
        quiet(program)
        column[START] = logged(program.lines())
        program.focus()
        load_at_start = load_average()
        column[HANDOVERS] = [count_handovers(desktop, program)]
        column[LOAD] = [load_line(load_at_start, load_average(), os.cpu_count())]
        quiet(program)
        for name, (kind, *args) in ACTIONS:
            before = place(program)
            seen = len(program.lines())
            if kind in ("drag", "click"):
                (x, y), *gesture = args
                width, height = before[0][2:]
                x, y = x % width, y % height
            if kind == "drag":
                (dx, dy), = gesture
                program.drag(x, y, dx, dy, steps=4, taken=True)
            elif kind == "click":
                desktop.click(program.window, x, y, *gesture)
            elif kind == "key" and name == "M" and desktop.watches_screen:
                with desktop.watching() as watched:
                    desktop.key(args[0])
                column[SCREEN] = [on_the_screen(*watched.story())]
            elif kind == "key":
                desktop.key(args[0])
            else:
                try:
                    program.close()
                except NotImplementedError:
                    # weston offers nothing that closes another client's
                    # window; the program is ended as from its terminal.
                    column[name] = ["→ not possible: the desktop cannot close the window"]
                    program.terminate()
                    break
            quiet(program)
            # A menu the click opened holds the pointer; Escape closes it,
            # as a person would, before the next action.
            held = kind == "click" and desktop.pointer_held()
            if held:
                desktop.key("Escape")
                quiet(program)
            after = place(program)
            column[name] = (logged(program.lines()[seen:]) + [f"→ {change(before, after)}"]
                            + (["→ a menu held the pointer; Escape closed it"] if held else []))
        program.wait_for_prompt(timeout=30)
        program.finish(b"\n", timeout=30)
        text = program.errors()
    column.setdefault(SCREEN, ["not watched: this desktop's screen is taken one picture at a "
                               "time"])
    column[STDERR] = sorted(set(line.strip() for line in text.splitlines() if line.strip()))
    column[WARNINGS] = sorted(set(
        VARYING.sub("", line.strip()) for line in desktop.log()[logged_before:].splitlines()
        if "warning" in line.lower()))
    return column


def wine_session(win64_dir):
    with open_desktop("openbox-x11") as desktop, wine_server(desktop, win64_dir):
        return session(desktop, [WINE, os.path.join(win64_dir, "window-test.exe")],
                       f"Wine {package_version(WINE)}", **wine_env(win64_dir))


def column_of(name, program, win64_dir):
    """A desktop's column, or one cell that says why it has none."""
    try:
        if name == WINE_COLUMN:
            if not WINE:
                return {START: ["not run: missing wine64"]}
            if not os.path.exists(os.path.join(win64_dir, "window-test.exe")):
                return {START: [f"not run: no {win64_dir}/window-test.exe"]}
            return wine_session(win64_dir)
        desktop = open_desktop(name)
        missing = desktop.missing()
        if missing:
            return {START: [f"not run: missing {', '.join(missing)}"]}
        with desktop:
            return session(desktop, [desktop.program(program)], desktop.packaged_version())
    except Exception as error:  # noqa: BLE001 - the matrix records what went wrong
        return {START: [f"failed: {error or type(error).__name__}".replace("\n", " ")]}


def markdown(cells):
    return matrix_table.render(GENERATIONS, ROWS, COLUMNS, cells, HANDOVER_DRAGS)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", default=os.path.join(ROOT, "build", "window-test"))
    parser.add_argument("--win64", default=os.path.join(ROOT, "build-win64"),
                        help="the Windows build's directory (default: build-win64)")
    parser.add_argument("--output", default=OUTPUT)
    parser.add_argument("--desktops", nargs="+", type=desktop_name, choices=COLUMNS,
                        metavar="NAME",
                        help="run these columns alone and keep the others' cells")
    args = parser.parse_args()
    columns = {}
    if args.desktops and os.path.exists(args.output):
        with open(args.output) as committed:
            columns = matrix_table.parse(committed.read())
    for name in args.desktops or COLUMNS:
        print(f"== {name}", file=sys.stderr, flush=True)
        columns[name] = column_of(name, args.program, args.win64)
    with open(args.output, "w") as out:
        out.write(markdown(columns))
    return 0


if __name__ == "__main__":
    sys.exit(main())
