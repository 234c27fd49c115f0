"""The focus taken from the program's window on a Wayland desktop, by
another client's window: a new window of the bystander client, which the
compositor gives the keyboard as it maps it, as it would any program the
user starts."""

import os

from .input_client import InputClient, client_path

BYSTANDER = client_path("bystander")


class Bystander(InputClient):
    def wait_for_focus(self, timeout=10):
        """Waits for the compositor's word that the window has the keyboard."""
        self._answer("the focus", "focused", timeout)


class ElsewhereOnWayland:
    """Mixed in before the desktop's class, which has env()."""

    _elsewhere = None

    @property
    def focuses_elsewhere(self):
        return os.path.exists(BYSTANDER)

    def focus_elsewhere(self):
        # A new window each time: the compositor focuses a window it maps,
        # while one it has shown before would have to be clicked, and
        # could lie over the program's.
        self._close_elsewhere()
        self._elsewhere = Bystander([BYSTANDER], self.env(), lambda: None)
        self._elsewhere.wait_for_focus()

    def _close_elsewhere(self):
        if self._elsewhere:
            self._elsewhere.close()
            self._elsewhere = None

    def __exit__(self, *exc):
        try:
            self._close_elsewhere()
        finally:
            super().__exit__(*exc)
