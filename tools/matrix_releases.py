"""Which row of the matrix is a reader's: the releases people run, the
version of each desktop's window manager or compositor there, the path the
program takes there by the library's rule, and the nearest row."""

import dataclasses
import re

from desktop import RECORDS
from tools.matrix_summary import PATHS, VERSION

# The library takes the native path on a compositor that offers
# wp_fifo_manager_v1, from these versions on (each one's release notes or
# source); sway, labwc and muffin offer it in no release yet.
FIFO_SINCE = {"mutter": (48,), "kwin": (6, 4), "hyprland": (0, 52), "weston": (15,)}


@dataclasses.dataclass(frozen=True)
class Desktop:
    """A desktop of a release: as its users name it, its window manager or
    compositor as the table of desktops names it, its version (None: the
    matrix's own, for a release the matrix runs), the session ("wayland" or
    "x11") and where the version comes from."""

    name: str
    compositor: str
    version: str | None
    session: str
    source: str = ""


# Each release, with the matrix's release for Debian's ("" this system's).
RELEASES = [
    ("Ubuntu 22.04 LTS", None, [
        Desktop("GNOME", "mutter", "42.9", "wayland",
                "https://packages.ubuntu.com/jammy-updates/mutter"),
        Desktop("KDE Plasma 5.24, Wayland session", "kwin", "5.24.7", "wayland",
                "https://packages.ubuntu.com/jammy/libs/kwin-wayland-backend-fbdev")]),
    ("Ubuntu 24.04 LTS", None, [
        Desktop("GNOME", "mutter", "46.2", "wayland",
                "https://packages.ubuntu.com/noble-updates/mutter"),
        Desktop("KDE Plasma 5.27, Wayland session", "kwin", "5.27.11", "wayland",
                "https://packages.ubuntu.com/noble/kwin-wayland-backend-fbdev")]),
    ("Ubuntu 26.04 LTS", None, [
        Desktop("GNOME", "mutter", "50.1", "wayland",
                "https://packages.ubuntu.com/resolute/mutter"),
        Desktop("KDE Plasma 6.6", "kwin", "6.6.4", "wayland",
                "https://packages.ubuntu.com/resolute/libkwin6")]),
    ("Fedora 44", None, [
        Desktop("GNOME", "mutter", "50.0", "wayland", "https://packages.fedoraproject.org/pkgs/"
                "mutter/mutter-devel/fedora-44-updates-testing.html"),
        Desktop("KDE Plasma 6.6", "kwin", "6.6.0", "wayland", "https://packages.fedoraproject.org/"
                "pkgs/kwin-x11/kwin-x11-libs/fedora-44-updates-testing.html")]),
    ("Fedora 45", None, [
        Desktop("GNOME", "mutter", "51", "wayland",
                "https://packages.fedoraproject.org/pkgs/mutter/mutter-devel/fedora-45.html"),
        Desktop("KDE Plasma 6.7", "kwin", "6.7.4", "wayland",
                "https://packages.fedoraproject.org/pkgs/kwin-x11/kwin-x11-libs/fedora-45.html")]),
    ("Linux Mint 22.3", None, [
        Desktop("Cinnamon, on X11 (its default)", "muffin", "6.6.3", "x11",
                "https://github.com/linuxmint/muffin/blob/master/debian/changelog")]),
    ("Arch Linux", None, [
        Desktop("GNOME", "mutter", "50.1", "wayland",
                "https://archlinux.org/packages/extra-testing/x86_64/mutter/"),
        Desktop("KDE Plasma 6.6", "kwin", "6.6.5", "wayland",
                "https://archlinux.org/packages/extra/x86_64/kwin/"),
        Desktop("Hyprland", "hyprland", "0.54.0", "wayland",
                "https://archlinux.org/packages/extra/x86_64/hyprland/")]),
    ("Debian 12", "", [
        Desktop("GNOME", "mutter", None, "wayland"), Desktop("KDE Plasma", "kwin", None, "wayland"),
        Desktop("Xfce", "xfwm4", None, "x11"), Desktop("sway", "sway", None, "wayland")]),
    ("Debian 13", "trixie", [
        Desktop("GNOME", "mutter", None, "wayland"), Desktop("KDE Plasma", "kwin", None, "wayland"),
        Desktop("Xfce", "xfwm4", None, "x11"), Desktop("sway", "sway", None, "wayland")]),
    ("Debian testing", "forky", [
        Desktop("GNOME", "mutter", None, "wayland"), Desktop("KDE Plasma", "kwin", None, "wayland"),
        Desktop("sway", "sway", None, "wayland"), Desktop("labwc", "labwc", None, "wayland"),
        Desktop("Hyprland", "hyprland", "0.56.2", "wayland",
                "https://packages.debian.org/forky/hyprland")]),
]
HEADING = "Which row is mine?"
INTRO = f"""\
## {HEADING}

The releases people run, the version of each desktop's window manager or
compositor there (from the release's own package pages, numbered below; a
Debian release's from its own column), the path the program's window takes
there, and the nearest row of the matrix. On a Wayland session the library
takes the native path only where the compositor offers `wp_fifo_manager_v1`
([how it picks](generations.md#which-way-the-program-reaches-a-wayland-desktop)):
mutter from 48, KWin from 6.4, Hyprland from 0.52 and weston from 15, and
sway, labwc and Cinnamon's muffin in no release yet; elsewhere the window
reaches the compositor through XWayland. On an X11 session (GNOME
on Xorg, Plasma's X11 session) the window takes the X11 path: the rows named
`-x11`. The nearest row is the one of the same window manager or compositor
on the same path with the nearest version.
"""


def version_of(text):
    """The leading numbers of a version ("4:5.27.5-2" -> (5, 27, 5))."""
    match = re.search(r"(?:^|:)(\d+(?:\.\d+)*)", text or "")
    return tuple(int(n) for n in match[1].split(".")) if match else ()


def path_of(compositor, version, session):
    if session == "x11":
        return "x11"
    since = FIFO_SINCE.get(compositor)
    return "wayland" if since and version_of(version) >= since else "xwayland"


def distance(a, b):
    a, b = ((version_of(v) + (0, 0))[:2] for v in (a, b))
    return abs(a[0] - b[0]) * 1000 + abs(a[1] - b[1])


def columns_of(compositor, path, cells, release=None):
    """(name, version) of the matrix's unscaled columns of a compositor on a
    path (in one release, where named) that have a version."""
    found = []
    for name, record in RECORDS.items():
        if (record.desktop == compositor and record.path == path and record.scale == 1
                and (release is None or record.release == release)):
            version = " ".join(cells.get(name, {}).get(VERSION, []))
            if version_of(version):
                found.append((name, version))
    return found


def rows(cells):
    """(release, desktop, version, path, nearest column or None, source)."""
    out = []
    for title, release, desktops in RELEASES:
        for desktop in desktops:
            version = desktop.version
            if version is None:
                # The release's own column of it, on any path.
                own = [v for path in PATHS for _, v in columns_of(desktop.compositor, path, cells,
                                                                   release)]
                version = own[0] if own else None
            path = path_of(desktop.compositor, version, desktop.session)
            near = columns_of(desktop.compositor, path, cells) if version else []
            nearest = min(near, key=lambda column: distance(column[1], version))[0] if near else None
            if nearest is None:
                # A column with no session (one that cannot start here),
                # of the release itself first.
                same = [name for name, record in RECORDS.items()
                        if record.desktop == desktop.compositor and record.path == path
                        and record.scale == 1]
                same.sort(key=lambda name: RECORDS[name].release != release)
                nearest = same[0] if same else None
            out.append((title, desktop.name, version or "unknown", path, nearest, desktop.source))
    return out


def render(cells, slug):
    """The section, with the nearest rows linked by slug(name)."""
    out = [INTRO, "| release | desktop | version | the window reaches it as | nearest row |",
           "|---|---|---|---|---|"]
    sources = []
    for title, name, version, path, nearest, source in rows(cells):
        if source:
            sources.append(source)
            version += f" [{len(sources)}]"
        near = f"[{nearest}](#{slug(nearest)})" if nearest else "none"
        out.append(f"| {title} | {name} | {version} | {PATHS[path]} | {near} |")
    out.append("")
    out += [f"{number}. <{source}>" for number, source in enumerate(sources, 1)]
    return out + [""]
