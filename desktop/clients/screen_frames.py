"""The program's window in the frames of a screen, each a picture of 32-bit
pixels with blue first (BGRx): where its grey is, and, for a watch of the
screen while the window changes, how much of its final place each new
picture showed grey or black. Shared by the test driver and by the clients
that watch a screen for it (run by another Python, so without the driver's
package)."""

import threading
import time

# The window's colour, and black, as whole pixels of a frame made opaque: the
# fourth byte is then always 0xff, so a pattern only ever matches at a
# pixel's start.
GREY = b"\xe1\xe1\xe1\xff"
BLACK = b"\x00\x00\x00\xff"
# A watch ends once the screen has shown nothing new for this long: longer
# than a compositor holds a picture while it changes a window (mutter 50,
# 0.3 s), and at most after MAX_WATCH seconds.
STILL = 1.0
MAX_WATCH = 5.0


def opaque(data):
    """A frame with every pixel's fourth byte set to 0xff, whatever the
    screen keeps there."""
    frame = bytearray(data)
    frame[3::4] = b"\xff" * (len(frame) // 4)
    return bytes(frame)


def grey_bounds(width, stride, data):
    """X, Y, width and height of the grey in an opaque frame, or None."""
    first, last = data.find(GREY), data.rfind(GREY)
    if first < 0:
        return None
    top, bottom = first // stride, last // stride
    lefts, rights = [], []
    for y in range(top, bottom + 1):
        start, end = y * stride, y * stride + width * 4
        left = data.find(GREY, start, end)
        if left >= 0:
            lefts.append(left - start)
            rights.append(data.rfind(GREY, start, end) - start)
    if not lefts:  # the only grey was in a row's padding
        return None
    left = min(lefts) // 4
    return left, top, max(rights) // 4 + 1 - left, bottom + 1 - top


def grey_and_black(stride, data, bounds):
    """How many pixels of bounds (x, y, width, height) an opaque frame shows
    grey, and how many black."""
    x, y, width, height = bounds
    grey = black = 0
    for row in range(y, y + height):
        line = data[row * stride + x * 4:row * stride + (x + width) * 4]
        grey += line.count(GREY)
        black += line.count(BLACK)
    return grey, black


class Watch:
    """The screen's new pictures as they come, each kept once with the time
    it came (time.monotonic(), the same clock in every process here)."""

    def __init__(self):
        self._pictures = []  # (time, width, stride, opaque data)
        self.started = time.monotonic()

    def add(self, width, stride, data):
        data = opaque(data)
        if not self._pictures or self._pictures[-1][3] != data:
            self._pictures.append((time.monotonic(), width, stride, data))

    def settled(self):
        """Whether the screen has held still long enough to end the watch."""
        now = time.monotonic()
        last = self._pictures[-1][0] if self._pictures else self.started
        return now - last >= STILL or now - self.started >= MAX_WATCH

    def follow(self, take):
        """Calls take(), which adds what the screen shows, over and over in
        a thread of its own until finish()."""
        self._following = True

        def keep_taking():
            while self._following:
                take()
        self._thread = threading.Thread(target=keep_taking, daemon=True)
        self._thread.start()

    def finish(self):
        """Waits until the screen has held still, and stops following it."""
        while not self.settled():
            time.sleep(0.01)
        self._following = False
        self._thread.join()

    def summary(self, bounds=None):
        """(time, grey, black, area) of each picture within the window's
        final place: bounds, where the desktop says where it is, else the
        grey's bounds in the last picture; none where there are neither."""
        if not self._pictures:
            return []
        _, width, stride, data = self._pictures[-1]
        bounds = bounds or grey_bounds(width, stride, data)
        if not bounds:
            return []
        # Only what is on the screen can be seen.
        x, y, right, bottom = bounds[0], bounds[1], bounds[0] + bounds[2], bounds[1] + bounds[3]
        x, y = max(x, 0), max(y, 0)
        right, bottom = min(right, width), min(bottom, len(data) // stride)
        bounds = (x, y, right - x, bottom - y)
        area = bounds[2] * bounds[3]
        return [(at, *grey_and_black(stride, data, bounds), area)
                for at, _, stride, data in self._pictures]


def story(summary, since):
    """What a person saw of the window after the moment since, from a
    Watch's summary: (seconds until it showed painted all over its final
    place for good, or None where it never did; seconds in which part of
    that place showed black that had not been black before)."""
    # A picture new only outside the window's place (a bar's clock) shows
    # nothing new of the window.
    changes = [entry for entry, previous in zip(summary, [None] + summary)
               if not previous or entry[1:] != previous[1:]]
    before = [entry for entry in changes if entry[0] <= since]
    after = [entry for entry in changes if entry[0] > since]
    black_before = before[-1][2] if before else 0
    painted = None
    if not after:  # nothing new: the window as it was
        painted = 0.0 if before and before[-1][1] == before[-1][3] else None
    for at, grey, _, area in reversed(after):
        if grey != area:
            break
        painted = at - since
    black = 0.0
    for (at, _, black_pixels, _), following in zip(after, after[1:] + [None]):
        if black_pixels > black_before and following:
            black += following[0] - at
    return painted, black
