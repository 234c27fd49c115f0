"""What the compositors built on wlroots share: a headless output drawn
without a GPU, one virtual pointer and keyboard that last the session, and
pictures of the screen by grim through wlr-screencopy."""

import re
import subprocess

from .base import Desktop
from .elsewhere_wayland import ElsewhereOnWayland
from .input_client import client_path
from .shape_wayland import PointsOnWayland

VIRTUAL_INPUT = client_path("virtual-input")
# One headless output, rendered in memory, and no input devices of the
# machine's own.
HEADLESS = {"WLR_BACKENDS": "headless", "WLR_HEADLESS_OUTPUTS": "1", "WLR_RENDERER": "pixman",
            "WLR_LIBINPUT_NO_DEVICES": "1"}
# A binary PPM's header: its width, height and largest value, then one byte of
# white space before the pixels.
PPM_HEADER = re.compile(rb"P6\s+(\d+)\s+(\d+)\s+255\s")


class WlrootsDesktop(PointsOnWayland, ElsewhereOnWayland, Desktop):
    """A wlroots compositor worked through self._input (an InputClient of
    VIRTUAL_INPUT)."""

    _input = None

    def key(self, keys):
        self._input.send(f"key {keys}")

    def grim(self, *args):
        """grim's picture (of the whole layout, or of grim's -g region) as
        (width, height, RGB bytes)."""
        ppm = subprocess.run(["grim", "-s", "1", *args, "-t", "ppm", "-"], env=self.env(),
                             capture_output=True, check=True, timeout=30).stdout
        header = PPM_HEADER.match(ppm)
        if not header:
            raise AssertionError(f"grim's picture is not an 8-bit PPM: {ppm[:20]!r}")
        return int(header[1]), int(header[2]), ppm[header.end():]

    def screenshot(self, path):
        # In logical pixels, as the X11 desktops' pictures are.
        self.run(["grim", "-s", "1", "-t", "png", path])

    def pixel(self, x, y):
        return tuple(self.grim("-g", f"{x},{y} 1x1")[2][:3])
