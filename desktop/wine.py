"""Wine, which runs the Windows build on an X11 desktop: where it is, the
prefix kept in the build directory, and the prefix's server."""

import contextlib
import os
import shutil
import subprocess

WINE = shutil.which("wine64") or ("/usr/lib/wine/wine64" if os.path.exists(
    "/usr/lib/wine/wine64") else None)


def wine_env(build_dir):
    return {
        "WINEPREFIX": os.path.join(build_dir, "wine-prefix"),
        "WINEDEBUG": "-all",
        # No prompts to install .NET or a browser engine into a new prefix.
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
    }


@contextlib.contextmanager
def wine_server(desktop, build_dir):
    """The prefix made ready on the desktop, and its server ended afterwards."""
    env = desktop.env(**wine_env(build_dir))
    subprocess.run([WINE, "wineboot", "-i"], env=env, capture_output=True, timeout=300,
                   check=True)
    try:
        yield
    finally:
        subprocess.run([os.path.join(os.path.dirname(WINE), "wineserver"), "-k"], env=env,
                       capture_output=True, timeout=60)
