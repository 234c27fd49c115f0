"""One driver for every kind of virtual desktop the program is tried on: the
tests, the tour and the measurement name a desktop, get a backend for it, and
run the program there with its stdout collected as it arrives.

Every desktop is one row of TABLE. Its name, its tests and its column of
the desktop matrix all come from that row (desktop.record.Record.name gives
the rule); what differs between desktops beyond it is in the backends'
attributes, so that the tests are written once."""

import sys

from .base import (GREY, TITLE, CannotStart, Desktop, NoScreenshots, WindowNotShown,  # noqa: F401
                   painted_grey, program_env, read_pixels, wait_until)
from .hyprland import HyprlandDesktop
from .kwin import KWinDesktop
from .labwc import LabwcDesktop
from .mutter import MutterDesktop
from .package_version import package_version  # noqa: F401
from .program import EVENT_LINE, PROMPT, Program, library_release  # noqa: F401
from .record import TIERS, Record
from .sway import SwayDesktop
from .weston import WestonDesktop
from .wine import WINE, wine_env, wine_server  # noqa: F401
from .x11 import X11Desktop

# The releases whose desktops are tried, as the matrix heads them: this
# system's own ("", started without a root), then each other one in a root
# of its own (desktop/root.py), with the program built there against the
# release's SDL3.
RELEASES = {"": "Debian 12 (bookworm)", "trixie": "Debian 13 (trixie)",
            "forky": "Debian testing (forky)"}
# The library takes the native path on a compositor that offers
# wp_fifo_manager_v1, and XWayland on one that does not.
NATIVE = {
    "": (),  # sway 1.7, KWin 5.27, mutter 43
    "trixie": ("mutter",),  # mutter 48; not sway 1.10, KWin 6.3
    # KWin 6.7, mutter 50, weston 16, Hyprland 0.56; not sway 1.12, labwc 0.20
    "forky": ("kwin", "mutter", "weston", "hyprland"),
}
# The backend of each Wayland compositor; X11Desktop's on the X11 path.
COMPOSITORS = {"sway": SwayDesktop, "kwin": KWinDesktop, "mutter": MutterDesktop,
               "labwc": LabwcDesktop, "weston": WestonDesktop, "hyprland": HyprlandDesktop}
X, XWAYLAND, WAYLAND = "x11", "xwayland", "wayland"
MAIN, SOAK, FRAME, MATRIX = TIERS


def row(release, desktop, path, scale=1, tier=MAIN, tour=False, day=False):
    """A record, with the path the library picks on that desktop there."""
    picks = X if path == X else WAYLAND if desktop in NATIVE[release] else XWAYLAND
    return Record(release, desktop, path, scale, picks, tier, tour, day)


# Every desktop. The tier says how ./test runs its tests: MAIN outside the
# soak too, SOAK in the soak alone, FRAME the frame test alone, MATRIX only
# in the desktop matrix (a tiling window manager with no rule for the
# window tiles it: it does not start at the size it asks for). On a scaled
# output only the frame test runs, alone: its frames are the largest the
# compositor draws in memory, and ./test tries each compositor at 2, the
# soak at 1.5 too. mutter, whose screen cast is read whole for every look
# at a scaled screen, takes twice as long there: outside the soak only at
# 2 through XWayland, Debian 12's default. The tour runs outside the soak on
# one desktop of each kind and release, the day's-use drags on one of each
# family.
TABLE = [
    # Debian 12: X11 with the window managers people use (i3 with its users'
    # rule that floats the window, and without it), then the compositors.
    row("", "openbox", X, tour=True, day=True),
    row("", "xfwm4", X),
    row("", "fluxbox", X),
    row("", "icewm", X),
    row("", "metacity", X),
    row("", "kwin", X),
    row("", "marco", X),
    row("", "muffin", X),
    row("", "mutter", X),
    row("", "i3", X),
    row("", "i3-tiled", X, tier=MATRIX),
    # The window managers that users of tiling and minimal desktops choose,
    # with their packaged configuration, and herbstluftwm with the rule
    # its users add for a window that wants to float.
    row("", "awesome", X, tier=FRAME),
    row("", "herbstluftwm", X, tier=FRAME),
    row("", "jwm", X, tier=FRAME),
    row("", "sway", XWAYLAND, tour=True),
    row("", "sway", XWAYLAND, 2),
    row("", "sway", XWAYLAND, 1.5, tier=SOAK),
    row("", "kwin", XWAYLAND, tour=True),
    row("", "kwin", XWAYLAND, 2),
    row("", "kwin", XWAYLAND, 1.5, tier=SOAK),
    row("", "mutter", XWAYLAND, tour=True),
    row("", "mutter", XWAYLAND, 2),
    row("", "mutter", XWAYLAND, 1.5, tier=SOAK),
    row("", "sway", WAYLAND, day=True),
    row("", "sway", WAYLAND, 2),
    row("", "sway", WAYLAND, 1.5, tier=SOAK),
    row("", "kwin", WAYLAND, day=True),
    row("", "kwin", WAYLAND, 2),
    row("", "kwin", WAYLAND, 1.5, tier=SOAK),
    row("", "mutter", WAYLAND, day=True),
    row("", "mutter", WAYLAND, 2, tier=SOAK),
    row("", "mutter", WAYLAND, 1.5, tier=SOAK),
    # Debian 13.
    row("trixie", "openbox", X, tour=True),
    row("trixie", "xfwm4", X),
    row("trixie", "sway", XWAYLAND),
    row("trixie", "sway", WAYLAND),
    row("trixie", "kwin", XWAYLAND),
    row("trixie", "kwin", WAYLAND),
    row("trixie", "mutter", WAYLAND, tour=True),
    row("trixie", "mutter", XWAYLAND),
    # Debian testing, with today's KWin and mutter scaled as laptops run
    # them, weston, and Hyprland, which cannot start without a GPU: its
    # tests are skipped with its own word why.
    row("forky", "openbox", X, tour=True),
    row("forky", "xfwm4", X),
    row("forky", "sway", XWAYLAND),
    row("forky", "sway", WAYLAND),
    row("forky", "kwin", WAYLAND, tour=True),
    row("forky", "kwin", XWAYLAND),
    row("forky", "mutter", WAYLAND),
    row("forky", "mutter", XWAYLAND),
    row("forky", "labwc", XWAYLAND),
    row("forky", "labwc", WAYLAND),
    *(row("forky", desktop, path, scale, tier=SOAK)
      for scale in (2, 1.5) for desktop in ("kwin", "mutter") for path in (WAYLAND, XWAYLAND)),
    row("forky", "weston", WAYLAND),
    row("forky", "hyprland", WAYLAND),
]
RECORDS = {record.name: record for record in TABLE}
# Every desktop's name, in the table's order.
DESKTOPS = list(RECORDS)


def former_name(record):
    """The name a desktop had before every name said its path: a window
    manager's own, and a compositor's with its path only where the program
    was sent down it."""
    if record.path == X:
        name = {"kwin": "kwin_x11", "mutter": "mutter_x11"}.get(record.desktop, record.desktop)
    else:
        name = record.desktop + (f"-{record.path}" if record.forced else "")
        name += "" if record.scale == 1 else f"-scale{record.scale:g}"
    return f"{record.release}:{name}" if record.release else name


# Readers' commands keep working with the former names.
FORMER_NAMES = {former_name(record): name for name, record in RECORDS.items()
                if former_name(record) != name}


def desktop_name(name):
    """A desktop's name, from its own or its former one (which it says)."""
    if name in FORMER_NAMES:
        print(f"{name} is now named {FORMER_NAMES[name]}", file=sys.stderr)
        return FORMER_NAMES[name]
    return name


def open_desktop(name):
    """The desktop of that name, not yet started."""
    try:
        record = RECORDS[desktop_name(name)]
    except KeyError:
        raise ValueError(f"unknown desktop {name!r}: one of {', '.join(DESKTOPS)}") from None
    backend = X11Desktop if record.path == X else COMPOSITORS[record.desktop]
    return backend(record)
