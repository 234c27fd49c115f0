"""The desktop takes over the drags the program hands it. On X11, window
managers that hold a button grab on the focused window replay each press to
it only after they have seen it, and a hand-over that comes before that
replay is lost; the program takes its input so that it never does. Held
back on purpose, the press is certain to reach the program first; sampled
over many drags, the race is left to chance."""

import time
import unittest

from harness import (DESKTOP, DESKTOP_MISSING, desktop, library_release, program_on, start_program,
                     wait_until)

MISSING = DESKTOP_MISSING
DX, DY = 40, 32  # the drag, made in four equal steps
STEPS = 4
STRIP = (300, 50)
# Only an X11 window manager is a process of its own, to be held still.
HOLDS_WINDOW_MANAGER = hasattr(desktop(), "window_manager_held")

# (row, the program's environment, whether the drag is lost where the window
# manager replays presses). The library's environment variable overrides the
# program's choice of input and takes the press as early as it comes.
ROWS = [
    ("as it ships", {}, False),
    ("with the library's XInput2", {"SDL_VIDEO_X11_XINPUT2": "1"}, True),
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


def moved(geometry, dx, dy):
    return (geometry[0] + dx, geometry[1] + dy, *geometry[2:])


@unittest.skipIf(MISSING, f"missing {MISSING}")
@unittest.skipUnless(HOLDS_WINDOW_MANAGER, f"{DESKTOP} has no window manager process to hold still")
class PressHeldBack(unittest.TestCase):
    """The window manager held still while the left button goes down on the
    drag strip, and until the program has handled all its input: a press the
    program takes without waiting for the window manager's replay is handed
    over before it."""

    @classmethod
    def setUpClass(cls):
        cls.desktop = cls.enterClassContext(desktop())

    def settle(self, program):
        """Waits until the window manager and then the program have handled
        all that was sent to them, and the window manager all the program
        sent it meanwhile."""
        self.desktop.wait_for_window_manager()
        program.wait_for_loop_turn()
        self.desktop.wait_for_window_manager()

    def drag_held_back(self, program):
        self.desktop.xdotool("mousemove", "--window", program.window, *STRIP)
        self.settle(program)
        with self.desktop.window_manager_held():
            self.desktop.xdotool("mousedown", 1)
            program.wait_for_loop_turn()
        # The replay, the hand-over and the window manager's grab, each
        # waited for: the motion is the window manager's if it took the drag.
        self.settle(program)
        motion = ["mousemove_relative", "--", DX // STEPS, DY // STEPS] * STEPS
        self.desktop.xdotool(*motion, "mouseup", 1)
        # A drag not taken over has had its every chance.
        self.settle(program)

    def assert_moved(self, program, expected, what):
        try:
            wait_until(lambda: program.geometry() == expected, 5, what)
        except AssertionError as timeout:
            raise AssertionError(f"{timeout}: expected {expected}, got "
                                 f"{program.geometry()}") from None

    def hands_over_once(self):
        """Whether the drag handed over before the replay is lost: where the
        window manager replays presses, and the library hands a drag over
        only once. From 3.4 it hands it over again when the replayed press
        arrives, which openbox and xfwm4 take."""
        release = library_release(self.desktop, program_on(self.desktop))
        return self.desktop.replays_presses and release < (3, 4)

    def test_the_hand_over_waits_for_the_replay(self):
        for row, env, lost_on_replay in ROWS:
            with self.subTest(row), start_program(self.desktop, **env) as program:
                program.wait_for_window()
                program.focus()
                self.settle(program)
                before = program.geometry()
                self.drag_held_back(program)
                if lost_on_replay and self.hands_over_once():
                    self.assertEqual(program.geometry(), before,
                                     "the window manager took over a drag handed over "
                                     "before its replay: the race was not made")
                    continue
                self.assert_moved(program, moved(before, DX, DY),
                                  "the window manager to move the window by the drag")
                # Nothing of the held drag hangs on.
                program.drag(*STRIP, -DX, -DY, STEPS)
                self.assert_moved(program, before,
                                  "the window manager to move the window back by a drag "
                                  "made without holding it")


@unittest.skipIf(MISSING, f"missing {MISSING}")
class HandOver(unittest.TestCase):
    """The long soak: many drags as a person makes them, the race left to
    chance."""

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


if __name__ == "__main__":
    unittest.main()
