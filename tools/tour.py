"""A guided tour of window-test for a machine without a desktop: the program
runs on a virtual one (X11 with openbox unless another is named) while a
scripted user drags its top strip, resizes it from every edge and corner,
presses F, W, M, R and N and closes it. The program's console output streams
here as it is written; the tour's own lines start with "==". Screenshots are
saved as PNG files."""

import argparse
import os
import sys
import threading
import time

from desktop import (DESKTOPS, CannotStart, NoScreenshots, Program, WindowNotShown, desktop_name,
                     open_desktop, painted_grey, wait_until)

HERE = os.path.dirname(os.path.abspath(__file__))
# Far enough from the screen's top-left corner that the resizes to the left
# and up after it keep the window on the screen, wherever it was placed.
DRAG = (140, 130)
RESIZES = [  # a point in the band or corner, the way to pull it, and the edges that follow
    ("left edge", (5, 240), (-40, 0), (1, 0, -1, 0)),
    ("right edge", (-5, 240), (40, 0), (0, 0, 1, 0)),
    ("top edge", (320, 5), (0, -40), (0, 1, 0, -1)),
    ("bottom edge", (320, -5), (0, 40), (0, 0, 0, 1)),
    ("top-left corner", (5, 5), (-40, -40), (1, 1, -1, -1)),
    ("top-right corner", (-5, 5), (40, -40), (0, 1, 1, -1)),
    ("bottom-left corner", (5, -5), (-40, 40), (1, 0, -1, 1)),
    ("bottom-right corner", (-5, -5), (60, 40), (0, 0, 1, 1)),
]
KEYS = [
    ("F", "f", "SDL_EVENT_WINDOW_ENTER_FULLSCREEN", "fullscreen"),
    ("W", "w", "SDL_EVENT_WINDOW_LEAVE_FULLSCREEN", None),
    ("M", "m", "SDL_EVENT_WINDOW_MAXIMIZED", "maximised"),
    ("R", "r", "SDL_EVENT_WINDOW_RESTORED", None),
    ("N", "n", "SDL_EVENT_WINDOW_MINIMIZED", None),
]


class Transcript:
    """The terminal, shared by the program's lines and the tour's own."""

    def __init__(self):
        self._lock = threading.Lock()

    def program(self, data):
        with self._lock:
            sys.stdout.buffer.write(data)
            sys.stdout.buffer.flush()

    def tour(self, text):
        with self._lock:
            sys.stdout.buffer.write(f"== {text}\n".encode())
            sys.stdout.buffer.flush()


def run_tour(program_path, shots, desktop_name):
    os.makedirs(shots, exist_ok=True)
    say = Transcript()
    desktop = open_desktop(desktop_name)
    with desktop, Program(desktop, [desktop.program(program_path)],
                          on_output=say.program) as program:
        def shoot(name):
            path = os.path.join(shots, f"{name}.png")

            # Once the picture shows the window painted grey all over where
            # the desktop says it is, before and after the shot: a new size
            # or place is then on the screen, not still on its way.
            def painted():
                try:
                    before = program.geometry()
                    desktop.screenshot(path)
                    return before if (program.geometry() == before
                                      and painted_grey(path, before)) else None
                except WindowNotShown:
                    return None  # where the window is found by its grey
            try:
                x, y, width, height = wait_until(painted, 10, "the window painted where it is")
            except NoScreenshots as why:
                say.tour(f"no screenshot: {why}")
                return
            say.tour(f"screenshot: {path} (window at {x},{y}, {width}x{height})")

        def drag(x, y, dx, dy, edges, label):
            before = program.geometry()
            seen = len(program.events())
            program.drag(x, y, dx, dy, steps=4, taken=True)
            # The desktop's own word on the whole drag first, so that the
            # next one starts where this one ended; then the line, where it
            # reports one.
            expected = desktop.drag_outcome(before, x, y, edges, dx, dy)
            wait_until(lambda: program.geometry() == expected, 10,
                       f"the window to follow the drag to {expected}")
            if label:
                logged = expected[:2] if label == "SDL_EVENT_WINDOW_MOVED" else expected[2:]
                program.wait(lambda: program.values(label, seen)[-1:] == [logged], 10,
                             f"{label}: {logged[0]},{logged[1]}")

        say.tour(f"starting {program_path} on the virtual desktop {desktop.name}")
        program.wait_for_window()
        program.wait_until_still()
        shoot("start")

        say.tour(f"dragging the top strip by {DRAG[0]},{DRAG[1]}")
        if not desktop.reports_moves:
            say.tour("(this desktop never tells a window where it is: no MOVED lines)")
        drag(300, 50, *DRAG, (1, 1, 0, 0),
             "SDL_EVENT_WINDOW_MOVED" if desktop.reports_moves else None)
        shoot("drag")

        for name, (x, y), (dx, dy), edges in RESIZES:
            say.tour(f"resizing from the {name} by {dx},{dy}")
            _, _, width, height = program.geometry()
            # Negative points count from the right or bottom edge.
            drag(x % width, y % height, dx, dy, edges, "SDL_EVENT_WINDOW_RESIZED")
        shoot("corner-resize")

        program.focus()
        for key, keysym, label, shot in KEYS:
            say.tour(f"pressing {key}")
            if label == "SDL_EVENT_WINDOW_MAXIMIZED" and not desktop.maximises:
                say.tour("(this desktop leaves a floating window as it is on maximise)")
            untold = label == "SDL_EVENT_WINDOW_MINIMIZED" and not desktop.reports_minimise
            if untold:
                say.tour("(this desktop keeps the focused window shown: no MINIMIZED line)")
            seen = len(program.events())
            desktop.key(keysym)
            if not desktop.maximises and key in "MR" or untold:
                time.sleep(1)
                continue
            program.wait_for_event(label, after=seen)
            if shot:
                # The desktop places the window just after the event.
                program.wait_for_event("SDL_EVENT_WINDOW_RESIZED", after=seen)
                shoot(shot)

        say.tour("closing the window from the desktop")
        program.close()
        program.wait_for_prompt()
        say.tour("pressing ENTER at the prompt")
        status = program.finish(b"\n")
    say.tour(f"screenshots are in {os.path.abspath(shots)}")
    say.tour(f"the program ended with status {status}")
    return status


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", default=os.path.join(HERE, "..", "build", "window-test"),
                        help="the program to run (default: build/window-test; on another "
                        "release's desktop, the one built in its root)")
    parser.add_argument("--shots", default=os.path.join(HERE, "..", "build", "tour"),
                        help="where to save the screenshots (default: build/tour)")
    parser.add_argument("--desktop", default="openbox-x11", type=desktop_name, choices=DESKTOPS,
                        help="the virtual desktop to run on (default: openbox-x11)")
    args = parser.parse_args()
    missing = open_desktop(args.desktop).missing()
    if missing:
        parser.error(f"the {args.desktop} desktop needs {', '.join(missing)}")
    try:
        return run_tour(os.path.normpath(args.program), os.path.normpath(args.shots), args.desktop)
    except CannotStart as why:
        print(f"== {args.desktop} cannot start here: {why}", flush=True)
        return 1


if __name__ == "__main__":
    sys.exit(main())
