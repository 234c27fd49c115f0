"""A burst of 1,000 window moves from outside, all taken by the desktop: the
log keeps up, in order, line by line, where the desktop tells the program
of moves at all, has no moves where it does not, and the program still
answers a key afterwards."""

import unittest

from harness import DESKTOP_MISSING, desktop, start_program, stray_lines, wait_until

MISSING = DESKTOP_MISSING
MOVES = [(100 + (i % 50) * 7, 100 + (i // 50) * 11) for i in range(1000)]


def is_subsequence(items, sequence):
    remaining = iter(sequence)
    return all(item in remaining for item in items)


@unittest.skipIf(MISSING, f"missing {MISSING}")
class MoveBurst(unittest.TestCase):
    def test_moves_are_logged_in_order_and_the_program_stays_responsive(self):
        with desktop() as screen, start_program(screen) as program:
            window = program.wait_for_window()
            program.wait_until_still()
            seen = len(program.events())
            taken = screen.move_window(window, MOVES)
            if taken is not None:
                self.assertEqual(taken, len(MOVES), "moves the desktop took")
            try:
                wait_until(lambda: program.geometry()[:2] == MOVES[-1], 30, "the last move")
            except AssertionError as timeout:
                raise AssertionError(f"{timeout}: the window is at {program.geometry()}, the "
                                     f"program logged {program.events()[seen:][-3:]}") from None

            def moved():
                return program.values("SDL_EVENT_WINDOW_MOVED", seen)
            if screen.reports_moves:
                wait_until(lambda: moved()[-1:] == MOVES[-1:], 30, "the last move to be logged")
                # The library replaces a move still waiting in its queue by
                # a newer one, so the log shows a subsequence of the moves:
                # never a position out of order, and always the last.
                self.assertTrue(is_subsequence(moved(), MOVES), moved())
            else:
                # Nothing tells the program of them, so it has none to log.
                self.assertEqual(moved(), [])
            self.assertEqual(stray_lines(program.lines(), b"SDL_GetPointerProperty failed: "), [])

            program.focus()
            after = len(program.events())
            screen.key("f")
            program.wait_for_event("SDL_EVENT_WINDOW_ENTER_FULLSCREEN", after=after)
            program.terminate()
            program.wait_for_prompt()
            self.assertEqual(program.finish(), 0)


if __name__ == "__main__":
    unittest.main()
