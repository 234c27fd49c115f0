"""The pointer's shape over the program's window on a Wayland desktop. A
Wayland client's is read from the client's own log of its requests
(WAYLAND_DEBUG): a compositor that offers cursor shapes (cursor-shape-v1)
is asked for one by name, elsewhere the client draws its cursor on a
surface of its own, whose picture carries no name. An X11 client's is
read from XWayland, as from any X server."""

import re
import time

from . import xlib
from .base import CLICK_GAP

# The protocol's shapes, by their number from 1, as the cursor theme names them.
SHAPES = ("default context-menu help pointer progress wait cell crosshair text vertical-text "
          "alias copy move no-drop not-allowed grab grabbing e-resize n-resize ne-resize "
          "nw-resize s-resize se-resize sw-resize w-resize ew-resize ns-resize nesw-resize "
          "nwse-resize col-resize row-resize all-scroll zoom-in zoom-out").split()
# An object is named interface@id, since libwayland 1.23 interface#id.
REQUEST = re.compile(r"-> (?:wp_cursor_shape_device_v1[@#]\d+\.set_shape\(\d+, (\d+)\)"
                     r"|wl_pointer[@#]\d+\.set_cursor\()")


def asked_shape(log):
    """The shape of the last cursor request in a client's protocol log:
    its name, None for a surface of the client's own, "" for none yet."""
    requests = REQUEST.findall(log)
    if not requests:
        return ""
    number = requests[-1]
    if not number:
        return None
    return SHAPES[int(number) - 1] if 0 < int(number) <= len(SHAPES) else f"shape {number}"


class PointsOnWayland:
    """Mixed in before the desktop's class, which has path, geometry() and a
    pointer client that takes "move X Y" on the layout: _input, unless the
    desktop's _pointer names another."""

    points = True

    @property
    def _pointer(self):
        return self._input

    @property
    def shape_env(self):
        return {"WAYLAND_DEBUG": "client"} if self.path == "wayland" else {}

    def point(self, window, x, y):
        left, top, _, _ = self.geometry(window)
        self._pointer.send(f"move {left + x} {top + y}")

    def click(self, window, x, y, button=1, count=1):
        self.point(window, x, y)
        which = " right" if button == 3 else ""
        for number in range(count):
            if number:
                time.sleep(CLICK_GAP)
            self._pointer.send(f"button 1{which}")
            self._pointer.send(f"button 0{which}")

    def pointer_shape(self, program):
        if self.path == "wayland":
            return asked_shape(program.errors())
        env = self.env()
        return xlib.cursor_name(env["DISPLAY"], env.get("XAUTHORITY"))
