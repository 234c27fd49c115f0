"""The custom frame with a real mouse on a real desktop: the drag strip moves
the window, each band moves exactly its own edges, also when another
window has the focus at the press, the client area moves nothing, a click
on the strip leaves no drag behind, the pointer shows each region's shape,
and only the missing native handle is reported. Where the window manager
does not act on the library's request to move or resize the window, the
strip and the bands must do nothing: a window manager that starts to act
on it fails the test, and its traits are then out of date."""

import contextlib
import itertools
import re
import unittest

from harness import (DESKTOP_MISSING, PROMPT, day, desktop, start_program, stray_lines,
                     wait_for_outcome, wait_until)

MISSING = DESKTOP_MISSING
DX, DY = 40, 32  # the drag, made in four steps
STEPS = 4
NATIVE_FRAME_LINE = re.compile(rb'^SDL_GetPointerProperty failed: "[^"\r\n]*"\.\r\n$')

# (name, point in the 640 x 480 window, which of x, y, width, height follow
# the drag: +1 with it, -1 against it, the pointer's shape there, and what
# else is tried there: "elsewhere" the same drag while another window has the
# focus, "click" a press and release without motion and then a motion with
# no button held, in place of the drag). Negative coordinates count from
# the right or bottom edge, so that a point stays in its region however the
# drags before it have sized the window.
REGIONS = [
    ("drag strip", (300, 50), (1, 1, 0, 0), "default", "elsewhere"),
    ("strip clicked", (300, 50), (0, 0, 0, 0), "default", "click elsewhere"),
    ("strip at w-16", (-16, 50), (1, 1, 0, 0), "default", ""),
    ("strip at (16,16)", (16, 16), (1, 1, 0, 0), "default", ""),
    ("client area", (300, 300), (0, 0, 0, 0), "default", ""),
    ("strip ends at row 99", (300, 100), (0, 0, 0, 0), "default", ""),
    ("left", (5, 240), (1, 0, -1, 0), "w-resize", "elsewhere"),
    ("left at (15,16)", (15, 16), (1, 0, -1, 0), "w-resize", ""),
    ("right", (-5, 240), (0, 0, 1, 0), "e-resize", "elsewhere"),
    ("right at w-15", (-15, 50), (0, 0, 1, 0), "e-resize", ""),
    ("top", (320, 5), (0, 1, 0, -1), "n-resize", "elsewhere"),
    ("top at (16,15)", (16, 15), (0, 1, 0, -1), "n-resize", ""),
    ("bottom", (320, -5), (0, 0, 0, 1), "s-resize", "elsewhere"),
    ("top-left", (5, 5), (1, 1, -1, -1), "nw-resize", "elsewhere"),
    ("top-right", (-5, 5), (0, 1, 1, -1), "ne-resize", "elsewhere"),
    ("bottom-left", (5, -5), (1, 0, -1, 1), "sw-resize", "elsewhere"),
    ("bottom-right", (-5, -5), (0, 0, 1, 1), "se-resize", "elsewhere"),
]


class OnDesktop(unittest.TestCase):
    """The program started and stopped on one desktop for the whole class,
    and a region dragged with its outcome checked."""

    @classmethod
    def setUpClass(cls):
        cls.desktop = cls.enterClassContext(desktop())

    def start(self, within=None):
        """The program, ended with the test, or with the context within."""
        started = start_program(self.desktop, **self.desktop.shape_env)
        program = within.enter_context(started) if within else self.enterContext(started)
        program.wait_for_window()
        program.wait_until_still()
        self.assertEqual(program.geometry()[2:], (640, 480))
        self.resting = None
        return program

    def stop(self, program):
        program.terminate()
        program.wait_for_prompt()
        self.assertEqual(program.finish(), 0)
        lines = program.lines()
        # Off Windows the native frame step has no handle to style, says
        # so in the first line, and nothing else fails.
        self.assertRegex(lines[0], NATIVE_FRAME_LINE)
        self.assertEqual([line for line in lines if b"failed: " in line], lines[:1])
        self.assertEqual(stray_lines(lines, b"SDL_GetPointerProperty failed: "), [])

    def drag_region(self, program, point, edges, dx, dy, focused=True, hover=None):
        start = program.geometry()
        # A drag that changes nothing has no line to wait for: the window
        # found where the last drag left it shows that nothing came late.
        resting, self.resting = self.resting, None
        if resting:
            self.assertEqual(start, resting, "the window changed after the last drag's outcome")
        x, y = point[0] % start[2], point[1] % start[3]
        seen = len(program.events())
        expected = self.desktop.drag_outcome(start, x, y, edges, dx, dy)
        moves = self.desktop.reports_moves and expected[:2] != start[:2]
        resizes = expected[2:] != start[2:]

        def last(label):
            return program.values(label, seen)[-1:]

        # The desktop's geometry, and the program's last line of each kind
        # since the press: the move or size reached, none where nothing
        # changes. The window asks for no high pixel density, so even on a
        # scaled output it has a pixel for each window coordinate.
        def outcome():
            return (program.geometry(), last("SDL_EVENT_WINDOW_MOVED"),
                    last("SDL_EVENT_WINDOW_RESIZED"), last("SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED"))
        want = (expected, [expected[:2]] if moves else [], [expected[2:]] if resizes else [],
                [expected[2:]] if resizes else [])
        program.drag(x, y, dx, dy, STEPS, taken=any(edges) and self.desktop.takes_move_requests,
                     focused=focused)
        if hover and self.desktop.points:
            # Over the window still, with the button up: a drag left behind
            # by the click would take the window along.
            program.pointer_shape(x + hover[0], y + hover[1])
        wait_for_outcome(program, outcome, want, f"the drag's outcome from {start} (geometry, "
                         "last move, resize, pixel size)", seen)
        self.resting = expected


@unittest.skipIf(MISSING, f"missing {MISSING}")
class Frame(OnDesktop):
    def test_every_region_moves_exactly_its_edges(self):
        # One program for every region where a drag that changes the window
        # can be undone by its reverse, which brings the window back for the
        # next and tries the region in both directions; elsewhere a program
        # for each region.
        program = None
        for name, point, edges, shape, also in REGIONS:
            if program is None or not self.desktop.undoes_drags:
                if program:
                    self.stop(program)
                program = self.start()
            with self.subTest(region=name, check="pointer shape"):
                self.check_shape(program, point, shape)
            click = "click" in also.split()
            directions = (1, -1) if any(edges) and self.desktop.undoes_drags else (1,)
            elsewhere = "elsewhere" in also.split() and self.desktop.focuses_elsewhere
            focus = ("elsewhere", "window") if elsewhere else ("window",)
            # A click is tried in each focus; a drag goes out with the focus
            # elsewhere and comes back with it on the window, where it is
            # undone, and goes out alone where it is not.
            gestures = [(f, 1) for f in focus] if click else zip(itertools.cycle(focus), directions)
            for focused, direction in gestures:
                with self.subTest(region=name, direction=direction, focus=focused, click=click):
                    if focused == "elsewhere":
                        program.focus_elsewhere()
                    if click:
                        self.drag_region(program, point, edges, 0, 0, focused == "window",
                                         hover=(DX, DY))
                    else:
                        self.drag_region(program, point, edges, direction * DX, direction * DY,
                                         focused == "window")
        self.stop(program)

    def check_shape(self, program, point, shape):
        if not self.desktop.points:
            self.skipTest(f"{self.desktop.name} does not tell the pointer's shape")
        geometry = program.geometry()
        program.pointer_shape(point[0] % geometry[2], point[1] % geometry[3])
        # The program has had the motion by now; kwin_x11 once showed the
        # default shape over a band of a window just started, for a moment.
        if program.wait_for_shape(shape, None) is None:
            self.skipTest(f"{self.desktop.name} offers no named shapes: the program draws its "
                          "cursor itself")

@unittest.skipIf(MISSING, f"missing {MISSING}")
class DayOfUse(OnDesktop):
    """The strip dragged out of a maximised window, and to the screen's
    edges and corner, each with a program of its own. Where the driver has
    an ordinary window with the desktop's own title bar, the same drag of
    that title bar says what the desktop offers, and the strip must get the
    same; elsewhere the desktop's traits say it. A band must then still
    resize the window where it is, once it is no longer maximised."""

    def test_a_day_of_use(self):
        screen = (self.desktop.width, self.desktop.height)
        for gesture, state, point, goal in day.DAY:
            # Each gesture's window goes with it, also where it fails: the
            # next one's is found by its title.
            with self.subTest(gesture=gesture), contextlib.ExitStack() as stack:
                if state == "maximised" and not self.desktop.maximises:
                    self.skipTest(f"{self.desktop.name} maximises no window")
                expected = self.expected(gesture, state, goal)
                program = self.start(within=stack)
                program.focus()
                if state == "maximised":
                    day.maximise(program)
                before = day.place(program)
                press = (before[0] + point[0], before[1] + point[1])
                dx, dy = day.drag_offset(press, goal, screen)
                seen = len(program.events())
                # A drag the desktop refuses (mutter's of a maximised window's
                # band) is never taken over.
                program.drag(*point, dx, dy, STEPS, taken=expected != "unchanged")

                def got():
                    return day.outcome(before, day.place(program), day.WINDOWED,
                                       self.desktop.work_area())
                wait_for_outcome(program, got, expected,
                                 f"the window {expected} from {before}", seen)
                # Out of maximised, or into it, the program is told (xfwm4
                # tells it after the release).
                if state == "maximised" and expected != "unchanged":
                    program.wait_for_event("SDL_EVENT_WINDOW_RESTORED", after=seen)
                if expected == "maximised":
                    program.wait_for_event("SDL_EVENT_WINDOW_MAXIMIZED", after=seen)
                if expected == "restored":
                    # Under the hand still, on the strip.
                    x, y, width, _ = day.place(program)
                    hand = (press[0] + dx, press[1] + dy)
                    self.assertTrue(x <= hand[0] < x + width and y <= hand[1] < y + 100,
                                    f"the window came out of maximised at "
                                    f"{day.place(program)}, away from the pointer at {hand}")
                # A window still maximised is not the window the bands are for.
                if not (expected == "maximised" or state == "maximised"
                        and expected == "unchanged"):
                    program.wait_until_still()
                    self.check_band(program, screen, expected)
                self.stop(program)

    def expected(self, gesture, state, goal):
        """What the gesture does to the program's window, by the control
        or the desktop's traits."""
        if gesture == "top row from maximised":
            # The top band: no title bar has one.
            known = self.desktop.maximised_top_row
        else:
            known = day.control(self.desktop, state, goal)
            if known is None and state == "maximised":
                known = self.desktop.drags_out_of_maximised
            elif known is None and self.desktop.snaps is not None:
                known = self.desktop.snaps.get(gesture, "moved")
        if known is None:
            self.skipTest(f"what {self.desktop.name} does there is not known")
        return known

    def check_band(self, program, screen, tile):
        """The bottom-right band resizes the window where the drag left it,
        where the desktop sees all of it on the screen."""
        x, y, width, height = day.place(program)
        if (program.geometry()[2:] != (width, height) or x + width > screen[0]
                or y + height > screen[1]):
            return
        with self.subTest(band="bottom-right after"):
            # KWin takes a quarter-tiled window's corner to the pointer as
            # the resize starts: 5 pixels in from it here.
            inset = 5 if tile == "top-left quarter" and self.desktop.quarters_jump else 0
            expected = (x, y, width - DX - inset, height - DY - inset)
            if tile in ("left half", "right half") and not self.desktop.resizes_tiled:
                expected = (x, y, width, height)
            seen = len(program.events())
            program.drag(width - 5, height - 5, -DX, -DY, STEPS, taken=True)
            want = (expected, [expected[2:]] if expected[2:] != (width, height) else [])
            # Where the desktop moves a tiled window as it resizes it, the
            # size alone is asked for.
            moved = tile in ("left half", "right half") and self.desktop.moves_tiled_on_resize
            if moved:
                want = (expected[2:], want[1])

            def got():
                place = day.place(program)
                return (place[2:] if moved else place,
                        program.values("SDL_EVENT_WINDOW_RESIZED", seen)[-1:])
            wait_for_outcome(program, got, want, f"the band's resize from {(x, y, width, height)}",
                             seen)
            # kwin_x11 says the tiled window's place again as it lets it go.
            moves = set(program.values("SDL_EVENT_WINDOW_MOVED", seen))
            if not moved:
                self.assertLessEqual(moves, {expected[:2]}, "a band's resize moved the window")


class NoHitTestSupport(unittest.TestCase):
    def test_the_loop_runs_without_the_frame_regions(self):
        with start_program(None, SDL_VIDEO_DRIVER="offscreen") as program:
            wait_until(lambda: len(program.lines()) >= 2, 10, "the frame step's lines")
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
