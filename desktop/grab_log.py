"""mutter's word on the drags it takes over, kept by its fork muffin: the
line of each grab it begins, in its log of window operations."""

import re

GRABBED = re.compile(rb"WINDOW_OPS: Grab op \d+ on window .* successful")


class GrabLog:
    """The grabs begun so far, read from a log that grows: each line is read
    once, since a verbose log grows by hundreds of lines a drag and is read
    at every poll of a wait."""

    def __init__(self, path):
        self._path = path
        self._read = 0
        self._grabs = 0

    def count(self):
        with open(self._path, "rb") as log:
            log.seek(self._read)
            text = log.read()
        whole = text[:text.rfind(b"\n") + 1]
        self._read += len(whole)
        self._grabs += len(GRABBED.findall(whole))
        return self._grabs
