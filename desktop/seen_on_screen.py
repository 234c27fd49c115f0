"""Desktops that tell the tests nowhere where a window is (mutter tells only
its shell; weston, headless, tells no one): the program's window is the grey
of a picture of the screen, and the pointer a client of the desktop's own
that takes "move X Y" and "button N"."""

import time

from .base import WindowNotShown, wait_until


def client_point(x, y, width, height):
    """A point of the client area, below the strip and clear of the bottom
    band, where a click does nothing else."""
    return x + width // 2, y + (100 + height - 15) // 2


class SeenOnScreen:
    """Mixed into a backend that has _bounds() (the grey's bounds on the
    screen, or None) and _pointer (its pointer client)."""

    def _still(self):
        """[the window's bounds] (None for no window) if they hold still for a
        moment: the desktop may animate a window that comes, goes or is
        minimised."""
        before = self._bounds()
        time.sleep(0.1)
        return [before] if self._bounds() == before else None

    def _shown(self, timeout):
        return wait_until(lambda: (self._still() or [None])[0], timeout,
                          "the program's window to be shown")

    def geometry(self, window):
        bounds = self._bounds()
        if bounds is None:
            raise WindowNotShown("the window is not on the screen")
        return bounds

    def window_path(self, window):
        # An X11 client's window is in XWayland's tree; a Wayland one is not.
        return "xwayland" if self.x_window() else "wayland"

    def window_hidden(self, window):
        # Gone from the screen, once any animation has ended.
        return wait_until(self._still, 5, "the screen to hold still") == [None]

    def focus(self, window, timeout=20):
        x, y = client_point(*self.geometry(window))
        self._pointer.send(f"move {x} {y}")
        self._pointer.send("button 1")
        self._pointer.send("button 0")


def drag_with_super(pointer, bounds, positions):
    """Moves a window as its user does on desktops that move any window
    dragged with Super held (labwc, weston), the program taking no part.
    pointer also takes "press KEY" and "release KEY"."""
    left, top, width, height = bounds
    grip_x, grip_y = client_point(0, 0, width, height)
    pointer.send(f"move {left + grip_x} {top + grip_y}")
    pointer.send("press super")
    pointer.send("button 1")
    for x, y in positions:
        pointer.send(f"move {x + grip_x} {y + grip_y}")
    pointer.send("button 0")
    pointer.send("release super")
