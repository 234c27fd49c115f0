"""Hyprland, a compositor that draws only through a GPU's buffers. On a
machine without one it ends at start, which is all that is asked of it
here: its tests are skipped with its own last word."""

import glob
import os
import subprocess

from .base import CannotStart, Desktop, end_process, log_tail, program_env, wait_until
from .sway import AS_NOBODY, NOBODY


class HyprlandDesktop(Desktop):
    """Hyprland with an empty configuration, as nobody (it refuses root), in
    a home of its own."""

    servers = ("Hyprland", "setpriv")

    def __init__(self, record):
        super().__init__(record)
        self._hyprland = self._home = None

    def _start(self):
        self._home = self.scratch_directory("window-test-hyprland-")
        top = self._home
        os.chmod(top, 0o711)
        runtime = os.path.join(top, "runtime")
        os.mkdir(runtime, 0o700)
        os.chown(runtime, NOBODY, NOBODY)
        config = os.path.join(top, "hyprland.conf")
        open(config, "w").close()
        self.log_path = os.path.join(top, "hyprland.log")
        with open(self.log_path, "wb") as log:
            self._hyprland = subprocess.Popen(
                self.in_root(AS_NOBODY + ["Hyprland", "--config", config]),
                stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                env=program_env(HOME=top, XDG_RUNTIME_DIR=runtime,
                                HYPRLAND_NO_CRASHREPORTER="1"))

        def up():
            if self._hyprland.poll() is not None:
                return True
            return glob.glob(os.path.join(runtime, "wayland-*"))
        wait_until(up, 30, "Hyprland to start or end")
        if self._hyprland.poll() is None:
            raise RuntimeError("Hyprland started, and this driver has no way yet to work it")
        said = [line for line in log_tail(self.log_path).splitlines() if line.strip()]
        why = f"Hyprland ended with status {self._hyprland.returncode}: {said[-1] if said else ''}"
        if not glob.glob("/dev/dri/renderD*"):
            raise CannotStart(f"{why} (this machine has no GPU render node)")
        raise RuntimeError(f"{why}; its log ends:\n{log_tail(self.log_path)}")

    def _stop(self):
        end_process(self._hyprland)
