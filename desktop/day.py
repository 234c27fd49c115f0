"""The drags of a day's use of the frame, after the first one on a window
at rest: out of a maximised window, and to the screen's edges and corner.
What each did is named the same way for the program's window and for the
control, another client's window dragged by the desktop's own title bar,
so that the two can be set side by side."""

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
OUT = 200
WINDOWED = (640, 480)


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
    """Presses M and waits until the window has taken the screen."""
    desktop = program.desktop
    seen = len(program.events())
    desktop.key("m")
    program.wait_for_event("SDL_EVENT_WINDOW_MAXIMIZED", after=seen)
    wait_until(lambda: place(program) == (0, 0, *desktop.work_area()), 5,
               "the window to take the work area")
    program.wait_until_still()


def control(desktop, state, goal):
    """What the desktop does with the same drag of its own title bar, or
    None where the driver has no such window there."""
    context = desktop.decorated_window()
    if context is None:
        return None
    screen = (desktop.width, desktop.height)
    with context as window:
        if not window.title_bar():
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
        return outcome(before, window.frame(), windowed, desktop.work_area())
