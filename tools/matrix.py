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
import contextlib
import os
import re
import sys
import time

from desktop import (DESKTOPS, EVENT_LINE, RELEASES, WINE, Program, day, desktop_name,
                     library_release, open_desktop, package_version, wait_until, wine_env,
                     wine_server)
from tools import matrix_summary as summary
from tools import matrix_table
from tools.matrix_summary import (AFTER_KEYS_BAND, AFTER_KEYS_STRIP, BEHIND, HANDOVERS, LIBRARY,
                                  LOAD, PATH, PATHS, SCREEN, SHAPES, START, STDERR, VERSION,
                                  WARNINGS, load_line)

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
# The pointer's shape over a point of each region, as the theme names it.
SHAPE_POINTS = [("strip", (300, 50), "default"), ("client area", (300, 300), "default"),
                ("left", (5, 240), "w-resize"), ("right", (-5, 240), "e-resize"),
                ("top", (320, 5), "n-resize"), ("bottom", (320, -5), "s-resize"),
                ("top-left", (5, 5), "nw-resize"), ("top-right", (-5, 5), "ne-resize"),
                ("bottom-left", (5, -5), "sw-resize"), ("bottom-right", (-5, -5), "se-resize")]
# The rows of a second session, each action on a window of its own: the
# strip dragged while another window has the focus, the pointer's shapes,
# and the drags of a day's use (desktop.day).
# The desktop's own keyboard actions, as its users press them, one after
# another on one window (each also on another client's window with the
# desktop's title bar, where the driver has one), then the frame tried.
# Each key that maximises or tiles is pressed again after, as a person
# undoes it, so that the keyboard's move and resize and the frame after them
# find the window as it was.
DESKTOP_KEYS = [("keys: Super+Up", ["super+Up"]), ("keys: Super+Down", ["super+Down"]),
                ("keys: Super+Left", ["super+Left"]),
                ("keys: Super+Down, again", ["super+Down"]),
                ("keys: Super+Page Up", ["super+Prior"]),
                ("keys: Super+Page Up, again", ["super+Prior"]),
                ("keys: Alt+F10", ["alt+F10"]), ("keys: Alt+F10, again", ["alt+F10"]),
                ("keys: Alt+F7, Right × 10, Return", ["alt+F7", *["Right"] * 10, "Return"]),
                ("keys: Alt+F8, Left × 10, Up × 10, Return",
                 ["alt+F8", *["Left"] * 10, *["Up"] * 10, "Return"])]
DAY_ROWS = ([BEHIND, SHAPES] + [gesture for gesture, *_ in day.DAY]
            + [name for name, _ in DESKTOP_KEYS] + [AFTER_KEYS_STRIP, AFTER_KEYS_BAND])
ROWS = ([VERSION, PATH, LIBRARY, START, HANDOVERS, LOAD] + [name for name, _ in ACTIONS]
        + DAY_ROWS + [SCREEN, STDERR, WARNINGS])
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


@contextlib.contextmanager
def running(desktop, command, **extra_env):
    """The program, its window shown and the start's lines over; ended as
    from its terminal once the body is done (under Wine, where the signal
    does not reach the program's loop, closed from the window manager)."""
    with Program(desktop, command, **extra_env) as program:
        program.wait_for_window(timeout=60)
        program.focus()
        program.wait_until_still()
        yield program
        if program.under_wine:
            program.close()
        else:
            program.terminate()
        program.wait_for_prompt(timeout=30)
        program.finish(b"\n", timeout=30)


# Under Wine the window shows Windows' own cursors, one for each axis and
# diagonal, by their X names.
WINE_SHAPES = {"default": "left_ptr", "w-resize": "h_double_arrow", "e-resize": "h_double_arrow",
               "n-resize": "v_double_arrow", "s-resize": "v_double_arrow",
               "nw-resize": "top_left_corner", "se-resize": "top_left_corner",
               "ne-resize": "top_right_corner", "sw-resize": "top_right_corner"}


def shapes(desktop, program):
    """The shape cell: the pointer's shape over each region."""
    if not desktop.points:
        return ["→ not told: the driver reads no pointer shape on this desktop"]
    width, height = program.geometry()[2:]

    def shape_over(x, y, shape):
        # The shape as the desktop comes to show it (under Wine the
        # program's loop cannot be watched for the motion); None where the
        # program draws its cursor.
        desktop.point(program.window, x % width, y % height)
        try:
            return program.wait_for_shape(shape, None, timeout=2)
        except AssertionError:
            return program.shape()
    named = [(name, point, WINE_SHAPES[shape] if program.under_wine else shape)
             for name, point, shape in SHAPE_POINTS]
    seen = [(name, shape_over(*point, shape), shape) for name, point, shape in named]
    if all(got is None for _, got, _ in seen):
        return ["→ not told: the desktop takes no named shape from the program here, which "
                "draws its cursor itself"]
    seen = [(name, got or "unnamed", shape) for name, got, shape in seen]
    wrong = [f"{name} ({got}, not {shape})" for name, got, shape in seen if got != shape]
    return ([f"{name} {got}" for name, got, _ in seen]
            + [f"→ not as named: {', '.join(wrong)}" if wrong else "→ every region as named"])


def behind(desktop, program):
    """The cell of the strip dragged while another window has the focus."""
    if not desktop.focuses_elsewhere:
        return ["→ not tried: the driver gives no other window the focus on this desktop"]
    if program.under_wine:
        desktop.focus_elsewhere()
    else:
        program.focus_elsewhere()
    before, seen = place(program), len(program.lines())
    program.drag(300, 50, 80, 60, steps=4, taken=True, focused=False)
    quiet(program)
    return logged(program.lines()[seen:]) + [f"→ {change(before, place(program))}"]


def day_drag(desktop, command, state, point, goal, **extra_env):
    """The cell of one of the day's drags, on a window of its own: what was
    logged, what the window did (in desktop.day's words), where the pointer
    is on a window out of maximised, what the same drag of the desktop's
    own title bar did, and then what the bottom-right band does."""
    if state == "maximised" and not desktop.maximises:
        return ["→ not tried: the desktop maximises no window"]
    control = day.control(desktop, state, goal)
    with running(desktop, command, **extra_env) as program:
        if state == "maximised":
            day.maximise(program)
        area = desktop.work_area()
        before = day.place(program)
        press = (before[0] + point[0], before[1] + point[1])
        dx, dy = day.drag_offset(press, goal, (desktop.width, desktop.height))
        seen = len(program.lines())
        # mutter takes no resize of a maximised window: nothing to take over.
        refused = (state == "maximised" and point[1] == 0
                   and desktop.maximised_top_row == "unchanged")
        program.drag(*point, dx, dy, steps=4, taken=not refused)
        quiet(program)
        after = day.place(program)
        did = day.outcome(before, after, day.WINDOWED, area)
        cell = logged(program.lines()[seen:]) + [f"→ {did}"]
        if did == "restored":
            hand = (press[0] + dx - after[0], press[1] + dy - after[1])
            on = 0 <= hand[0] < after[2] and 0 <= hand[1] < 100
            cell.append(f"→ pointer {'on' if on else 'off'} the strip, at "
                        f"{100 * hand[0] // after[2]} % of the width")
        if control is not None:
            cell.append(f"→ own title bar: {control}")
        # A window still maximised is not the window the bands are for.
        if not (did == "maximised" or state == "maximised" and did == "unchanged"):
            on_screen = (after[0] + after[2] <= desktop.width
                         and after[1] + after[3] <= desktop.height)
            if program.geometry()[2:] == after[2:] and on_screen:
                seen = len(program.lines())
                program.drag(after[2] - 5, after[3] - 5, -40, -32, steps=4, taken=True)
                quiet(program)
                now = day.place(program)
                band = change((after, False), (now, False))
                cell.append(f"→ then the bottom-right band: {band}"
                            + (f" to {now[2]} × {now[3]}" if now[2:] != after[2:] else ""))
        return cell


def control_keys(desktop):
    """What each of the desktop's keys did to another client's window with
    the desktop's own title bar, one after another, or None where the
    driver has none there."""
    with day.decorated(desktop) as window:
        if window is None:
            return None
        desktop.focus(window.window)
        windowed, did = window.frame()[2:], {}
        for name, keys in DESKTOP_KEYS:
            before = window.frame()
            for key in keys:
                desktop.key(key)
            desktop.wait_for_window_manager()
            did[name] = day.control_outcome(desktop, window, before, windowed)
        return did


def desktop_keys(desktop, command, **extra_env):
    """The cells of the desktop's own keys, and of the strip and a band
    after them."""
    control = control_keys(desktop)
    column = {}
    with running(desktop, command, **extra_env) as program:
        area = desktop.work_area()
        for name, keys in DESKTOP_KEYS:
            before, seen = day.place(program), len(program.lines())
            for key in keys:
                desktop.key(key)
            quiet(program)
            did = ("hidden" if desktop.window_hidden(program.window)
                   else day.outcome(before, day.place(program), day.WINDOWED, area))
            column[name] = (logged(program.lines()[seen:]) + [f"→ {did}"]
                            + ([f"→ own title bar: {control[name]}"] if control else []))
        for row, point, offset in ((AFTER_KEYS_STRIP, (300, 50), (40, 32)),
                                   (AFTER_KEYS_BAND, (-5, -5), (-40, -32))):
            before, seen = place(program), len(program.lines())
            if before[1]:
                column[row] = ["→ not tried: the keys left the window hidden"]
                continue
            width, height = before[0][2:]
            program.drag(point[0] % width, point[1] % height, *offset, steps=4, taken=True)
            quiet(program)
            column[row] = logged(program.lines()[seen:]) + [f"→ {change(before, place(program))}"]
    return column


def day_session(desktop, command, **extra_env):
    """The second session's cells: row name to cell lines."""
    column = {}
    with running(desktop, command, **desktop.shape_env, **extra_env) as program:
        column[SHAPES] = shapes(desktop, program)
        column[BEHIND] = behind(desktop, program)
    for gesture, state, point, goal in day.DAY:
        try:
            column[gesture] = day_drag(desktop, command, state, point, goal, **extra_env)
        except (AssertionError, RuntimeError) as error:
            column[gesture] = [f"→ failed: {error}".replace("\n", " ")]
    try:
        column.update(desktop_keys(desktop, command, **extra_env))
    except (AssertionError, RuntimeError) as error:
        column[DESKTOP_KEYS[0][0]] = [f"→ not tried: {error}".replace("\n", " ")]
    return column


def sessions(desktop, command, version, parts, **extra_env):
    """The column of the sessions asked for: "all", or "day" for the second
    alone."""
    column = {} if parts == "day" else session(desktop, command, version, **extra_env)
    column.update(day_session(desktop, command, **extra_env))
    return column


def wine_session(win64_dir, parts):
    with open_desktop("openbox-x11") as desktop, wine_server(desktop, win64_dir):
        return sessions(desktop, [WINE, os.path.join(win64_dir, "window-test.exe")],
                        f"Wine {package_version(WINE)}", parts, **wine_env(win64_dir))


def column_of(name, program, win64_dir, parts="all"):
    """A desktop's column, or one cell that says why it has none."""
    try:
        if name == WINE_COLUMN:
            if not WINE:
                return {START: ["not run: missing wine64"]}
            if not os.path.exists(os.path.join(win64_dir, "window-test.exe")):
                return {START: [f"not run: no {win64_dir}/window-test.exe"]}
            return wine_session(win64_dir, parts)
        desktop = open_desktop(name)
        missing = desktop.missing()
        if missing:
            return {START: [f"not run: missing {', '.join(missing)}"]}
        with desktop:
            return sessions(desktop, [desktop.program(program)], desktop.packaged_version(), parts)
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
    parser.add_argument("--day", action="store_true",
                        help="run the second session alone (the strip from behind, the "
                             "pointer's shapes, the day's-use drags) and keep the other cells")
    args = parser.parse_args()
    columns = {}
    if (args.desktops or args.day) and os.path.exists(args.output):
        with open(args.output) as committed:
            columns = matrix_table.parse(committed.read())
    for name in args.desktops or COLUMNS:
        print(f"== {name}", file=sys.stderr, flush=True)
        column = column_of(name, args.program, args.win64, "day" if args.day else "all")
        if args.day and summary.not_run(column) and name in columns:
            print(f"{name}: {summary.not_run(column)}; its cells are kept", file=sys.stderr)
        elif args.day:
            columns[name] = {**columns.get(name, {}), **column}
        else:
            columns[name] = column
    with open(args.output, "w") as out:
        out.write(markdown(columns))
    return 0


if __name__ == "__main__":
    sys.exit(main())
