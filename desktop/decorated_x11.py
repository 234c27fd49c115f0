"""Another client's ordinary window on an X11 desktop, with the title bar
the window manager draws for it: the control for a gesture on the
program's strip. What the window manager does when its own title bar is
dragged is what it offers; the program's strip should get the same."""

import re

from . import xlib

# _NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom
EXTENTS = re.compile(r"= (\d+), (\d+), (\d+), (\d+)")
# xwininfo's lines of a window's place on the screen and its size.
XWININFO = ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")


class DecoratedWindow:
    """A window of the size asked for, where the window manager puts it,
    for as long as the context lasts."""

    def __init__(self, desktop, width=640, height=480):
        self._desktop = desktop
        self._window = xlib.Bystander(desktop.display, 320, 272, width, height)
        self.window = self._window.window

    def __enter__(self):
        self._desktop.wait_for_window_manager()
        return self

    def __exit__(self, *exc):
        self._window.close()

    def geometry(self):
        """Its x, y, width and height on the screen, from the X server (not
        xdotool's, which counts a frame's offset twice)."""
        lines = self._desktop.run(["xwininfo", "-id", str(self.window)]).stdout.splitlines()
        fields = dict(line.strip().split(": ", 1) for line in lines if ": " in line)
        return tuple(int(fields[name]) for name in XWININFO)

    def frame(self):
        """x, y, width and height of the window with its frame."""
        x, y, width, height = self.geometry()
        left, right, top, bottom = self.extents()
        return x - left, y - top, width + left + right, height + top + bottom

    def extents(self):
        """The frame's left, right, top and bottom widths, 0 where the window
        manager draws none (kwin_x11 without a decoration theme)."""
        said = self._desktop.run(["xprop", "-id", str(self.window), "_NET_FRAME_EXTENTS"],
                                 check=False).stdout
        match = EXTENTS.search(said)
        return tuple(int(value) for value in match.groups()) if match else (0, 0, 0, 0)

    def title_bar(self):
        """The height of the title bar above it, 0 where there is none."""
        return self.extents()[2]

    def title_point(self, x):
        """The point of the title bar above x of the window, on the screen."""
        left, top, _, _ = self.geometry()
        return left + x, top - self.title_bar() // 2

    def maximise(self):
        self._desktop.run(["wmctrl", "-i", "-r", hex(self.window), "-b",
                           "add,maximized_vert,maximized_horz"])
        self._desktop.wait_for_window_manager()

    def maximised(self):
        said = self._desktop.run(["xprop", "-id", str(self.window), "_NET_WM_STATE"]).stdout
        return "_NET_WM_STATE_MAXIMIZED_HORZ" in said and "_NET_WM_STATE_MAXIMIZED_VERT" in said
