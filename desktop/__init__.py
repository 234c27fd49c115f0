"""One driver for every kind of virtual desktop the program is tried on: the
tests, the tour and the measurement name a desktop, get a backend for it, and
run the program there with its stdout collected as it arrives."""

from .base import (GREY, TITLE, CannotStart, Desktop, NoScreenshots, WindowNotShown,  # noqa: F401
                   named, painted_grey, program_env, read_pixels, wait_until)
from .hyprland import HyprlandDesktop
from .kwin import KWinDesktop
from .labwc import LabwcDesktop
from .mutter import MutterDesktop
from .package_version import package_version  # noqa: F401
from .program import EVENT_LINE, PROMPT, Program, library_release  # noqa: F401
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
    "kwin-scale2": lambda: KWinDesktop(scale=2),
    "kwin-scale1.5": lambda: KWinDesktop(scale=1.5),
    "mutter": lambda: MutterDesktop(),
    "mutter-scale2": lambda: MutterDesktop(scale=2),
    "mutter-scale1.5": lambda: MutterDesktop(scale=1.5),
    "sway-wayland": lambda: SwayDesktop(1, "wayland"),
    "sway-wayland-scale2": lambda: SwayDesktop(2, "wayland"),
    "sway-wayland-scale1.5": lambda: SwayDesktop(1.5, "wayland"),
    "kwin-wayland": lambda: KWinDesktop("wayland"),
    "kwin-wayland-scale2": lambda: KWinDesktop("wayland", scale=2),
    "kwin-wayland-scale1.5": lambda: KWinDesktop("wayland", scale=1.5),
    "mutter-wayland": lambda: MutterDesktop("wayland"),
    "mutter-wayland-scale2": lambda: MutterDesktop("wayland", scale=2),
    "mutter-wayland-scale1.5": lambda: MutterDesktop("wayland", scale=1.5),
}
# Other Debian releases' desktops, each started in a root of that release
# (desktop/root.py) from the same backends, with the program built there
# against the release's SDL3. A release lists its X11 window managers and,
# for each Wayland compositor, the path the library picks there: the native
# one where the compositor offers wp_fifo_manager_v1, else XWayland. Each
# compositor is tried on that path and, sent there, on the other one.
RELEASES = {
    # Debian 13: sway 1.10 and KWin 6.3 offer no wp_fifo_manager_v1, mutter
    # 48 does.
    "trixie": {
        "window_managers": ["openbox", "xfwm4"],
        "compositors": {"sway": "xwayland", "kwin": "xwayland", "mutter": "wayland"},
    },
    # Debian testing: sway 1.12 and labwc 0.20 still offer none; KWin 6.7
    # and mutter 50 do.
    "forky": {
        "window_managers": ["openbox", "xfwm4"],
        "compositors": {"sway": "xwayland", "kwin": "wayland", "mutter": "wayland",
                        "labwc": "xwayland"},
    },
}
# Each compositor's backend, started on a path, sent there or not, in a root.
COMPOSITORS = {
    "sway": lambda path, forced, root: SwayDesktop(1, path, root=root, forced=forced),
    "kwin": lambda path, forced, root: KWinDesktop(path, root=root, forced=forced),
    "mutter": lambda path, forced, root: MutterDesktop(path, root=root, forced=forced),
    "labwc": lambda path, forced, root: LabwcDesktop(path, root=root, forced=forced),
}
OTHER_PATH = {"xwayland": "wayland", "wayland": "xwayland"}


def release_desktops(release, window_managers, compositors):
    """A release's desktops by their names, RELEASE:DESKTOP: its window
    managers, and each compositor as COMPOSITOR (the library's own path)
    and COMPOSITOR-PATH (the other path, the program sent down it)."""
    root = Root(release)
    desktops = {f"{release}:{name}": (lambda name=name: X11Desktop(name, root=root))
                for name in window_managers}
    for compositor, path in compositors.items():
        make = COMPOSITORS[compositor]
        other = OTHER_PATH[path]
        desktops[f"{release}:{compositor}"] = lambda make=make, path=path: make(path, False, root)
        desktops[f"{release}:{compositor}-{other}"] = \
            lambda make=make, other=other: make(other, True, root)
    return desktops


for _release, _desktops in RELEASES.items():
    DESKTOPS.update(release_desktops(_release, **_desktops))
# KWin 6.7 and mutter 50 on outputs scaled by 2 and by 1.5, on both paths,
# as laptops run them: RELEASE:COMPOSITOR[-PATH]-scaleS.
_forky = Root("forky")
for _scale in (2, 1.5):
    for _name, _backend in (("kwin", KWinDesktop), ("mutter", MutterDesktop)):
        for _path, _forced in (("wayland", False), ("xwayland", True)):
            DESKTOPS[named(f"{_name}{'-xwayland' if _forced else ''}-scale{_scale:g}", _forky)] = \
                (lambda backend=_backend, path=_path, forced=_forced, scale=_scale:
                 backend(path, root=_forky, forced=forced, scale=scale))
# Debian testing's compositors that are tried on one path: weston offers
# wp_fifo_manager_v1, so the library picks its native backend there;
# Hyprland cannot start without a GPU, and its tests are skipped, saying why.
DESKTOPS.update({
    "forky:weston": lambda: WestonDesktop(root=_forky),
    "forky:hyprland": lambda: HyprlandDesktop(root=_forky),
})


def open_desktop(name):
    """The desktop of that name, not yet started."""
    try:
        return DESKTOPS[name]()
    except KeyError:
        raise ValueError(f"unknown desktop {name!r}: one of {', '.join(DESKTOPS)}") from None
