"""The custom frame with a real mouse on a real desktop: the drag strip moves
the window, each band moves exactly its own edges, the client area moves
nothing, and the desktop takes over every drag the program hands it."""

import re
import time
import unittest

from harness import DESKTOP_MISSING, PROMPT, desktop, start_program, wait_until

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

# Drags handed over to the desktop, as a person makes them: a press, a
# moment's stillness, then the motion. Each pause gets HANDOVERS drags, half
# on the strip and half on the right band, in a cycle that brings the window
# back: 2 x 50 drags without a loss leave a loss rate of 3% less than a 5%
# chance of going unseen.
PAUSES = (0.05, 0.2)
HANDOVERS = 50
CYCLE = [  # the point (the right band's x counts from the right edge), the drag
    ((300, 50), (DX, DY)),
    ((-5, 240), (DX, 0)),
    ((300, 50), (-DX, -DY)),
    ((-5, 240), (-DX, 0)),
]


@unittest.skipIf(MISSING, f"missing {MISSING}")
class Frame(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = cls.enterClassContext(desktop())

    def start(self):
        program = self.enterContext(start_program(self.desktop))
        program.wait_for_window()

        # Into the loop, and past the lines of the window's start, which on
        # a busy machine can come well after the window.
        def still():
            count = len(program.events())
            time.sleep(0.3)
            return count and len(program.events()) == count
        wait_until(still, 10, "the start's lines to end")
        return program

    def stop(self, program):
        program.terminate()
        program.wait_for_prompt()
        self.assertEqual(program.finish(), 0)

    def test_every_region_moves_exactly_its_edges(self):
        for name, (x, y), signs in REGIONS:
            with self.subTest(region=name):
                program = self.start()
                start = program.geometry()
                self.assertEqual(start[2:], (640, 480))
                if signs[2:] != (0, 0) and not self.desktop.resizes_by_band:
                    # Both edges of the nearest corner, whatever the band.
                    left, top = x <= start[2] // 2, y <= start[3] // 2
                    signs = (int(left), int(top), -1 if left else 1, -1 if top else 1)
                seen = len(program.events())
                drag = (DX, DY, DX, DY)
                expected = tuple(s + sign * d for s, sign, d in zip(start, signs, drag))
                moves = self.desktop.reports_moves and expected[:2] != start[:2]
                resizes = expected[2:] != start[2:]

                def arrived():
                    return (program.geometry() == expected
                            and (not moves or program.saw("SDL_EVENT_WINDOW_MOVED", seen))
                            and (not resizes or program.saw("SDL_EVENT_WINDOW_RESIZED", seen)))
                program.drag(x, y, DX, DY, STEPS)
                try:
                    wait_until(arrived, 5, "the drag's outcome")
                except AssertionError as timeout:
                    raise AssertionError(
                        f"{timeout}: expected {expected} from {start}, got "
                        f"{program.geometry()}, logging {program.events()[seen:]}") from None
                time.sleep(0.3)  # nothing else follows
                self.assertEqual(program.geometry(), expected)

                def last(label):
                    return program.values(label, seen)[-1:]
                self.assertEqual(last("SDL_EVENT_WINDOW_MOVED"), [expected[:2]] if moves else [])
                self.assertEqual(last("SDL_EVENT_WINDOW_RESIZED"),
                                 [expected[2:]] if resizes else [])
                # The window asks for no high pixel density, so even on a
                # scaled output it has a pixel for each window coordinate.
                self.assertEqual(last("SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED"),
                                 [expected[2:]] if resizes else [])
                self.stop(program)

    def test_the_desktop_takes_over_every_drag(self):
        program = self.start()
        program.focus()
        lost = []
        for pause in PAUSES:
            for number in range(HANDOVERS):
                (x, y), (dx, dy) = CYCLE[number % len(CYCLE)]
                before = program.geometry()
                x %= before[2]
                expected = ((before[0] + dx, before[1] + dy, *before[2:]) if dy
                            else (*before[:2], before[2] + dx, before[3]))
                self.desktop.drag(program.window, x, y, dx, dy, 5, pause)
                try:
                    wait_until(lambda: program.geometry() == expected, 2, "the drag's outcome")
                except AssertionError:
                    lost.append((pause, number, before, program.geometry()))
                    # A desktop that lost a drag may still hold the press.
                    time.sleep(0.5)
        self.assertEqual(lost, [], f"{len(lost)} of {len(PAUSES) * HANDOVERS} drags were "
                                   "not taken over (pause, drag, before, after)")
        self.stop(program)

    def test_native_frame_step_reports_only_the_missing_handle(self):
        program = self.start()
        self.stop(program)
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
