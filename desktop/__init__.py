"""One driver for every kind of virtual desktop the program is tried on: the
tests, the tour and the measurement name a desktop, get a backend for it, and
run the program there with its stdout collected as it arrives."""

from .base import (CannotStart, Desktop, NoScreenshots, program_env, read_pixels,  # noqa: F401
                   wait_until)
from .hyprland import HyprlandDesktop
from .kwin import KWinDesktop
from .labwc import LabwcDesktop
from .mutter import MutterDesktop
from .program import EVENT_LINE, PROMPT, TITLE, Program  # noqa: F401
from .root import Root
from .sway import SwayDesktop
from .weston import WestonDesktop
from .wine import WINE, wine_env, wine_server  # noqa: F401
from .x11 import WINDOW_MANAGERS, X11Desktop

# Every desktop by name. What differs between them is in the backends'
# attributes, so that the tests are written once.
DESKTOPS = {
    **{name: (lambda name=name: X11Desktop(name)) for name in WINDOW_MANAGERS},
    # Wayland compositors on the path the library picks there, then on the
    # native path.
    "sway": lambda: SwayDesktop(1),
    "sway-scale2": lambda: SwayDesktop(2),
    "sway-scale1.5": lambda: SwayDesktop(1.5),
    "kwin": lambda: KWinDesktop(),
    "mutter": lambda: MutterDesktop(),
    "sway-wayland": lambda: SwayDesktop(1, "wayland"),
    "sway-wayland-scale2": lambda: SwayDesktop(2, "wayland"),
    "sway-wayland-scale1.5": lambda: SwayDesktop(1.5, "wayland"),
    "kwin-wayland": lambda: KWinDesktop("wayland"),
    "mutter-wayland": lambda: MutterDesktop("wayland"),
}
# Debian 13's desktops, each started in a root of that release from the same
# backends, with the program built there against its SDL3.
TRIXIE = Root("trixie")
DESKTOPS.update({
    "trixie:openbox": lambda: X11Desktop("openbox", root=TRIXIE),
    "trixie:xfwm4": lambda: X11Desktop("xfwm4", root=TRIXIE),
    "trixie:sway": lambda: SwayDesktop(1, root=TRIXIE),
    "trixie:kwin": lambda: KWinDesktop(root=TRIXIE),
    "trixie:sway-wayland": lambda: SwayDesktop(1, "wayland", root=TRIXIE),
    "trixie:kwin-wayland": lambda: KWinDesktop("wayland", root=TRIXIE),
    # mutter 48 offers wp_fifo_manager_v1, so there the library picks its
    # native backend, and XWayland is the path it is sent down.
    "trixie:mutter": lambda: MutterDesktop("wayland", root=TRIXIE, forced=False),
    "trixie:mutter-xwayland": lambda: MutterDesktop("xwayland", root=TRIXIE, forced=True),
})

# Debian testing's other compositors, in a root of that release.
FORKY = Root("forky")
DESKTOPS.update({
    # labwc offers no wp_fifo_manager_v1: the library picks XWayland there.
    "forky:labwc": lambda: LabwcDesktop(root=FORKY),
    "forky:labwc-wayland": lambda: LabwcDesktop("wayland", root=FORKY),
    # weston offers wp_fifo_manager_v1: the library picks its native backend.
    "forky:weston": lambda: WestonDesktop(root=FORKY),
    # Without a GPU it cannot start: its tests are skipped, saying why.
    "forky:hyprland": lambda: HyprlandDesktop(root=FORKY),
})


def open_desktop(name):
    """The desktop of that name, not yet started."""
    try:
        return DESKTOPS[name]()
    except KeyError:
        raise ValueError(f"unknown desktop {name!r}: one of {', '.join(DESKTOPS)}") from None
