"""The custom frame with a real mouse under a real window manager: the drag
strip moves the window, each band moves exactly its own edges, and the client
area moves nothing."""

import re
import time
import unittest

from harness import DESKTOP_MISSING, PROMPT, Desktop, start_program, wait_until

MISSING = DESKTOP_MISSING
DX, DY = 40, 32  # the drag, made in four steps
STEPS = 4
NATIVE_FRAME_LINE = re.compile(rb'^SDL_GetPointerProperty failed: "[^"\r\n]*"\.\r\n$')

# (name, point in the 640 x 480 window, which of x, y, width, height follow
# the drag: +1 with it, -1 against it).
REGIONS = [
    ("drag strip", (300, 50), (1, 1, 0, 0)),
    ("strip at w-16", (624, 50), (1, 1, 0, 0)),
    ("strip at (16,16)", (16, 16), (1, 1, 0, 0)),
    ("client area", (300, 300), (0, 0, 0, 0)),
    ("strip ends at row 99", (300, 100), (0, 0, 0, 0)),
    ("left", (5, 240), (1, 0, -1, 0)),
    ("left at (15,16)", (15, 16), (1, 0, -1, 0)),
    ("right", (635, 240), (0, 0, 1, 0)),
    ("right at w-15", (625, 50), (0, 0, 1, 0)),
    ("top", (320, 5), (0, 1, 0, -1)),
    ("top at (16,15)", (16, 15), (0, 1, 0, -1)),
    ("bottom", (320, 475), (0, 0, 0, 1)),
    ("top-left", (5, 5), (1, 1, -1, -1)),
    ("top-right", (635, 5), (0, 1, 1, -1)),
    ("bottom-left", (5, 475), (1, 0, -1, 1)),
    ("bottom-right", (635, 475), (0, 0, 1, 1)),
]


@unittest.skipIf(MISSING, f"missing {MISSING}")
class FrameRegions(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.__exit__(None, None, None)

    def test_every_region_moves_exactly_its_edges(self):
        for name, (x, y), signs in REGIONS:
            with self.subTest(region=name), start_program(self.desktop) as program:
                program.wait_for_window()
                time.sleep(0.2)  # into the loop, which starts after the first line
                start = self.desktop.geometry(program.window)
                self.assertEqual(start[2:], (640, 480))
                seen = len(program.events())
                drag = (DX, DY, DX, DY)
                expected = tuple(s + sign * d for s, sign, d in zip(start, signs, drag))
                if expected == start:
                    program.drag(x, y, DX, DY, STEPS)
                    time.sleep(0.5)
                else:
                    def arrived():
                        return (self.desktop.geometry(program.window) == expected
                                and (expected[:2] == start[:2]
                                     or program.saw("SDL_EVENT_WINDOW_MOVED", seen))
                                and (expected[2:] == start[2:]
                                     or program.saw("SDL_EVENT_WINDOW_RESIZED", seen)))
                    try:
                        program.drag_until(x, y, DX, DY, arrived, timeout=5, steps=STEPS)
                    except AssertionError as timeout:
                        raise AssertionError(
                            f"{timeout}: expected {expected} from {start}, got "
                            f"{self.desktop.geometry(program.window)}, "
                            f"logging {program.events()[seen:]}") from None
                self.assertEqual(self.desktop.geometry(program.window), expected)
                after = program.events()[seen:]
                moved = [e[1:] for e in after if e[0] == "SDL_EVENT_WINDOW_MOVED"]
                resized = [e[1:] for e in after if e[0] == "SDL_EVENT_WINDOW_RESIZED"]
                self.assertEqual(moved[-1:], [expected[:2]] if expected[:2] != start[:2] else [])
                self.assertEqual(resized[-1:], [expected[2:]] if expected[2:] != start[2:] else [])
                program.terminate()
                program.wait_for_prompt()
                self.assertEqual(program.finish(), 0)

    def test_native_frame_step_reports_only_the_missing_handle(self):
        with start_program(self.desktop) as program:
            program.wait_for_window()
            program.terminate()
            program.wait_for_prompt()
            self.assertEqual(program.finish(), 0)
            lines = program.lines()
        self.assertRegex(lines[0], NATIVE_FRAME_LINE)
        self.assertEqual([l for l in lines if b"failed: " in l], lines[:1])


class NoHitTestSupport(unittest.TestCase):
    def test_the_loop_runs_without_the_frame_regions(self):
        with start_program(None, SDL_VIDEO_DRIVER="offscreen") as program:
            wait_until(lambda: len(program.lines()) >= 2, 10, "the frame step's lines")
            time.sleep(0.3)
            self.assertIsNone(program.process.poll(), "the loop did not run")
            program.terminate()
            program.wait_for_prompt()
            self.assertEqual(program.finish(), 0)
            lines = program.lines()
        self.assertRegex(lines[0], NATIVE_FRAME_LINE)
        self.assertRegex(lines[1], rb'^SDL_SetWindowHitTest failed: "[^"\r\n]+"\.\r\n$')
        self.assertEqual(lines[-1], PROMPT)


if __name__ == "__main__":
    unittest.main()
