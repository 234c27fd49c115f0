"""One desktop the program is tried on, as a row of the table in
desktop/__init__.py, and the name made from it by one rule."""

import dataclasses

# How the window reaches a desktop: an X server of its own, XWayland (an X11
# client of a Wayland compositor), or a Wayland client.
PATHS = ("x11", "xwayland", "wayland")
# How ./test runs a desktop's tests: outside the soak too, in it alone,
# the frame test alone (what the keys do there is the matrix's to show
# until the keys test knows that desktop), or not at all (the desktop
# matrix alone runs it).
TIERS = ("main", "soak", "frame", "matrix")


@dataclasses.dataclass(frozen=True)
class Record:
    """The release whose packages it runs ("" for this system's own, else
    a codename whose root it runs in), its window manager or compositor as
    the release packages it, how the program's window reaches it, and the
    scale of its output. library_path is the path the library picks there
    by itself; on any other the program is sent down its path."""

    release: str
    desktop: str
    path: str
    scale: float = 1
    library_path: str = "x11"
    tier: str = "main"
    # Whether its guided tour runs outside the soak too: it takes the frame
    # and keys tests' steps again, so one desktop of each kind and release.
    tour: bool = False
    # Whether its day's-use drags (out of maximised, to the screen's edges)
    # run outside the soak too: one desktop of each family that offers them.
    day: bool = False

    def __post_init__(self):
        if self.path not in PATHS or self.library_path not in PATHS:
            raise ValueError(f"{self.desktop}: a path is one of {', '.join(PATHS)}")
        if self.tier not in TIERS:
            raise ValueError(f"{self.desktop}: a tier is one of {', '.join(TIERS)}")

    @property
    def name(self):
        """[RELEASE:]DESKTOP-PATH[-scaleS]: the same desktop and path mean
        the same in every release, whichever path the library picks."""
        name = f"{self.desktop}-{self.path}"
        if self.scale != 1:
            name += f"-scale{self.scale:g}"
        return f"{self.release}:{name}" if self.release else name

    @property
    def forced(self):
        """Whether the program is sent down its path (SDL_VIDEO_DRIVER)
        rather than left to pick it, as a session leaves it."""
        return self.path != self.library_path
