"""A day's use of the frame, after the first drag of a window at rest: the
strip dragged out of a maximised window and to the screen's edges and
corner, and the desktop's own keys for a window. What each did is named
the same way for the program's window and for the control, another
client's window with the desktop's own title bar, dragged by that or
given the keys, so that the two can be set side by side."""

import contextlib

from .base import wait_until

# (gesture, how the window starts, the point of it pressed, where the drag
# goes: "out" 200 pixels down, else to a point of the screen, None keeping
# the press's own coordinate and -1 the last pixel).
DAY = [
    ("strip from maximised", "maximised", (300, 50), "out"),
    ("top row from maximised", "maximised", (300, 0), "out"),
    ("strip to the top edge", "windowed", (300, 50), (None, 0)),
    ("strip to the left edge", "windowed", (300, 50), (0, None)),
    ("strip to the right edge", "windowed", (300, 50), (-1, None)),
    ("strip to the top-left corner", "windowed", (300, 50), (0, 0)),
]
# Where a desktop tiles a window dragged to an edge (KWin's quick tiling,
# labwc's snapping): half the screen at a side, a quarter at a corner, and
# the whole at the top.
TILES_AT_EDGES = {"strip to the top edge": "maximised", "strip to the left edge": "left half",
                  "strip to the right edge": "right half",
                  "strip to the top-left corner": "top-left quarter"}
OUT = 200
WINDOWED = (640, 480)
# The keys desktops bind by default for a window: maximise (mutter's and
# xfwm4's, KWin's), tile to the left half, and the older toggle of
# maximised (metacity's and its forks', xfwm4's).
KEYS = [("Super+Up", "super+Up"), ("Super+Page Up", "super+Prior"),
        ("Super+Left", "super+Left"), ("Alt+F10", "alt+F10")]


def outcome(before, after, windowed, area):
    """What a drag did to a window, by its geometry before and after (its
    frame's, for a window with a title bar), on a desktop whose maximised
    window takes area (the screen less any panel, at its top left): the
    size it had windowed coming back is "restored"."""
    width, height = area
    if after == before:
        return "unchanged"
    tiles = {(0, 0, width, height): "maximised", (0, 0, width // 2, height): "left half",
             (width - width // 2, 0, width // 2, height): "right half",
             (0, 0, width // 2, height // 2): "top-left quarter"}
    if after in tiles:
        return tiles[after]
    if after[2:] == before[2:]:
        return "moved"
    return "restored" if after[2:] == windowed else "resized"


def drag_offset(press, goal, screen):
    """(dx, dy) from a press at that point of the screen to the goal."""
    if goal == "out":
        return 0, OUT
    return tuple(0 if to is None else (size - 1 if to < 0 else to) - at
                 for at, to, size in zip(press, goal, screen))


def place(program):
    """The program's window's place, from the desktop, and its size, from
    the program's log: a desktop that finds the window on its screen sees
    only the part that is on it."""
    sizes = program.values("SDL_EVENT_WINDOW_RESIZED")
    return (*program.geometry()[:2], *(sizes[-1] if sizes else WINDOWED))


def maximise(program):
    """Presses M and waits until the window is maximised and still."""
    seen = len(program.events())
    program.desktop.key("m")
    program.wait_for_event("SDL_EVENT_WINDOW_MAXIMIZED", after=seen)
    # At the work area's corner as the desktop sees it (mutter's screen cast
    # shows it a frame or more after the program is told); under Wine the
    # X window of the maximised Windows window stays where it was.
    if not program.under_wine:
        wait_until(lambda: program.geometry()[:2] == (0, 0), 5,
                   "the window at the screen's corner")
    program.wait_until_still()


@contextlib.contextmanager
def decorated(desktop):
    """A context with the control window, or None where the driver has
    none with a title bar there."""
    context = desktop.decorated_window()
    if context is None:
        yield None
        return
    with context as window:
        # A title bar is taller than the frame's bottom edge (awesome draws
        # the same thin border all round, and no title bar).
        yield window if window.title_bar() > window.extents()[3] else None


def control_keys(desktop, keys):
    """What typing keys does to the control, or None where there is none."""
    with decorated(desktop) as window:
        if window is None:
            return None
        desktop.focus(window.window)
        before = window.frame()
        desktop.key(keys)
        desktop.wait_for_window_manager()
        return control_outcome(desktop, window, before, before[2:])


def control_outcome(desktop, window, before, windowed):
    """What happened to the control: by its state where the window manager
    hid or maximised it (a maximised frame may lie partly off the screen,
    as icewm's does), else by its frame."""
    if desktop.window_hidden(window.window):
        return "hidden"
    if window.maximised():
        return "maximised"
    return outcome(before, window.frame(), windowed, desktop.work_area())


def control(desktop, state, goal):
    """What the desktop does with the same drag of its own title bar, or
    None where the driver has no such window there."""
    screen = (desktop.width, desktop.height)
    with decorated(desktop) as window:
        if window is None:
            return None
        windowed = window.frame()[2:]
        if state == "maximised":
            window.maximise()

            def settled():
                # Maximised, and its frame held still through a round trip
                # to the window manager.
                frame = window.frame()
                desktop.wait_for_window_manager()
                return window.maximised() and window.frame() == frame
            wait_until(settled, 5, "the control to be maximised")
        before = window.frame()
        press = window.title_point(300)
        desktop.drag_on_screen(*press, *drag_offset(press, goal, screen))
        if state == "maximised" and window.maximised():
            return "unchanged"
        return control_outcome(desktop, window, before, windowed)
