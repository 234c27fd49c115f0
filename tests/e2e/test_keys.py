"""The window on a real desktop: the five window keys, the ways the
program is told to quit, and another client's window vanishing under it."""

import time
import unittest

from harness import DESKTOP_MISSING, PROMPT, desktop, start_program, stray_lines, wait_until

MISSING = DESKTOP_MISSING


@unittest.skipIf(MISSING, f"missing {MISSING}")
class WindowKeys(unittest.TestCase):
    def setUp(self):
        self.desktop = self.enterContext(desktop())

    def start(self):
        program = self.enterContext(start_program(self.desktop))
        program.wait_for_window()
        program.focus()
        return program

    def assert_only_log_lines(self, program):
        self.assertEqual(stray_lines(program.lines(), b"SDL_GetPointerProperty failed: "), [])

    def test_each_key_brings_its_window_events(self):
        program = self.start()
        screen = (self.desktop.width, self.desktop.height)
        # None: the size stays as it is.
        windowed = (640, 480) if self.desktop.restores_after_fullscreen else None
        # A tiling compositor may leave a floating window as it is.
        steps = [
            ("m", "SDL_EVENT_WINDOW_MAXIMIZED", self.desktop.work_area()),
            ("r", "SDL_EVENT_WINDOW_RESTORED", (640, 480)),
        ] if self.desktop.maximises else []
        steps += [
            ("f", "SDL_EVENT_WINDOW_ENTER_FULLSCREEN", screen),
            ("w", "SDL_EVENT_WINDOW_LEAVE_FULLSCREEN", windowed),
            # Modifiers do not matter: the key's position does.
            ("shift+f", "SDL_EVENT_WINDOW_ENTER_FULLSCREEN", screen),
            ("ctrl+w", "SDL_EVENT_WINDOW_LEAVE_FULLSCREEN", windowed),
        ]
        current = (640, 480)
        for key, label, size in steps:
            with self.subTest(key=key):
                seen = len(program.events())
                self.desktop.key(key)
                program.wait_for_event(label, after=seen)
                if size and size != current:
                    program.wait_for_event("SDL_EVENT_WINDOW_RESIZED", after=seen)
                    resized = program.values("SDL_EVENT_WINDOW_RESIZED", seen)
                    self.assertEqual(resized[-1], size)
                    current = size
        with self.subTest(key="n"):
            seen = len(program.events())
            self.desktop.key("n")
            # Whether the window really goes is the desktop's word, not the log's.
            hides = self.desktop.hides_on_minimise
            wait_until(lambda: self.desktop.window_hidden(program.window) == hides, 5,
                       "the window to be hidden" if hides else "the window to stay")
            if self.desktop.reports_minimise:
                program.wait_for_event("SDL_EVENT_WINDOW_MINIMIZED", after=seen)
            else:
                time.sleep(1)
                self.assertFalse(program.saw("SDL_EVENT_WINDOW_MINIMIZED", seen))
        program.terminate()
        program.wait_for_prompt()
        self.assertEqual(program.finish(), 0)
        self.assert_only_log_lines(program)

    def test_quitting_brings_the_prompt(self):
        ways = [
            ("window manager close", lambda p: p.close()),
            ("SIGTERM", lambda p: p.terminate()),
        ]
        for name, quit_program in ways:
            with self.subTest(way=name):
                program = self.start()
                quit_program(program)
                program.wait_for_prompt()
                self.assertIsNone(program.process.poll(), "did not wait at the prompt")
                self.assertEqual(program.finish(b"abc\r\n"), 0)
                self.assertTrue(program.output().endswith(PROMPT))
                self.assert_only_log_lines(program)

    def test_a_drag_source_that_vanished_is_no_error(self):
        # The window answers a drag's position by writing to the source's
        # window, which the desktop then reports as gone.
        program = self.start()
        if not self.desktop.drag_from_vanished_source(program.window):
            self.skipTest(f"no client names another's window on {self.desktop.name}")
        seen = len(program.events())
        self.desktop.key("f")
        program.wait_for_event("SDL_EVENT_WINDOW_ENTER_FULLSCREEN", after=seen)
        program.terminate()
        program.wait_for_prompt()
        self.assertEqual(program.finish(), 0)
        self.assert_only_log_lines(program)


if __name__ == "__main__":
    unittest.main()
