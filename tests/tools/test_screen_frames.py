"""A watch of the screen keeps each new picture once and reads each within
the window's final place, whatever the screen keeps in a pixel's fourth
byte; and the story told from it says when the window showed painted for
good and for how long black showed that had not been there before."""

import unittest
from unittest import mock

from desktop.clients import screen_frames

WIDTH, HEIGHT = 8, 6
GREY, BLACK, BLUE = b"\xe1\xe1\xe1", b"\x00\x00\x00", b"\xa4\x65\x34"


def picture(*rectangles, background=BLUE, pad=b"\x00"):
    """A BGRx frame of WIDTH x HEIGHT with rows padded to 40 bytes: each of
    rectangles (colour, x, y, width, height) painted over the background."""
    rows = []
    for y in range(HEIGHT):
        row = [background] * WIDTH
        for colour, left, top, width, height in rectangles:
            if top <= y < top + height:
                row[left:left + width] = [colour] * width
        rows.append(b"".join(colour + pad for colour in row) + b"\x01" * 8)
    return b"".join(rows)


class Watch(unittest.TestCase):
    def test_each_new_picture_is_read_within_the_final_place(self):
        clock = iter(range(10))
        with mock.patch.object(screen_frames.time, "monotonic", lambda: next(clock)):
            watch = screen_frames.Watch()
            old = picture((GREY, 2, 2, 3, 2))
            for frame in [old, old, picture((BLACK, 0, 0, 6, 4), (GREY, 2, 2, 3, 2)),
                          picture((GREY, 0, 0, 6, 4), pad=b"\xff"), picture((GREY, 0, 0, 6, 4))]:
                watch.add(WIDTH, 40, frame)
        # The last two differ only in the byte the screen leaves unused.
        self.assertEqual(watch.summary(), [(1, 6, 0, 24), (2, 6, 18, 24), (3, 24, 0, 24)])

    def test_the_desktops_word_on_the_place_and_the_screens_edge_bound_it(self):
        # A bar's grey elsewhere is no part of the window.
        watch = screen_frames.Watch()
        watch.add(WIDTH, 40, picture((GREY, 0, 0, 3, 2), (GREY, 7, 5, 1, 1)))
        self.assertEqual(watch.summary((0, 0, 3, 2)), [(mock.ANY, 6, 0, 6)])
        self.assertEqual(watch.summary((-1, 4, 3, 4)), [(mock.ANY, 0, 0, 4)])

    def test_a_last_picture_without_the_window_says_nothing(self):
        watch = screen_frames.Watch()
        watch.add(WIDTH, 40, picture((GREY, 2, 2, 3, 2)))
        watch.add(WIDTH, 40, picture())
        self.assertEqual(watch.summary(), [])

    def test_grey_in_a_rows_padding_is_no_window(self):
        frame = bytearray(screen_frames.opaque(picture()))
        frame[32:36] = screen_frames.GREY
        self.assertIsNone(screen_frames.grey_bounds(WIDTH, 40, bytes(frame)))


class Story(unittest.TestCase):
    def test_when_the_window_showed_painted_and_how_long_black_showed(self):
        # (summary: time, grey, black, area; moment of the key; painted after, black for)
        for summary, since, painted, black in [
            ([(0, 6, 0, 24), (2, 24, 0, 24)], 1, 1, 0),
            # Black for a while before the paint.
            ([(0, 6, 0, 24), (2, 6, 18, 24), (2.5, 24, 0, 24)], 1, 1.5, 0.5),
            # The black of the background the window grew over is no flash.
            ([(0, 6, 18, 24), (2, 12, 12, 24), (3, 24, 0, 24)], 1, 2, 0),
            # Painted, then not, then painted again: the last time counts.
            ([(0, 6, 0, 24), (2, 24, 0, 24), (3, 20, 4, 24), (4, 24, 0, 24)], 1, 3, 1),
            # Never painted all over.
            ([(0, 6, 0, 24), (2, 20, 4, 24)], 1, None, 0),
            # Nothing new after the key, the window painted as it was, or new
            # only outside its place.
            ([(0, 24, 0, 24)], 1, 0, 0),
            ([(0, 24, 0, 24), (2, 24, 0, 24)], 1, 0, 0),
            ([], 1, None, 0),
        ]:
            with self.subTest(summary=summary):
                self.assertEqual(screen_frames.story(summary, since), (painted, black))


if __name__ == "__main__":
    unittest.main()
