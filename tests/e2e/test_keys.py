"""The window on a real desktop: the five window keys, pressed or held, on
two keyboard layouts, the ways the program is told to quit, another
client's window vanishing under it, and the desktop's own keys for a
window."""

import contextlib
import signal
import unittest

from harness import (DESKTOP_MISSING, PROMPT, day, desktop, start_program, stray_lines,
                     wait_for_outcome, wait_until)

MISSING = DESKTOP_MISSING
# Keyboard layouts: the keys each types at the US positions of the window
# keys where they differ, and the letter of a window key that it puts where
# no window key is.
LAYOUTS = [
    ("us", {}, None),
    ("fr", {"m": "comma", "w": "z"}, "m"),  # AZERTY's M is at the US semicolon
]
# The events the window keys bring.
COMMANDS = {"SDL_EVENT_WINDOW_MAXIMIZED", "SDL_EVENT_WINDOW_RESTORED",
            "SDL_EVENT_WINDOW_MINIMIZED", "SDL_EVENT_WINDOW_ENTER_FULLSCREEN",
            "SDL_EVENT_WINDOW_LEAVE_FULLSCREEN"}


@unittest.skipIf(MISSING, f"missing {MISSING}")
class WindowKeys(unittest.TestCase):
    def setUp(self):
        self.desktop = self.enterContext(desktop())

    def start(self):
        # Keys once the window's start is over, as a person presses them:
        # sway 1.10 through XWayland, given F and W while the start's lines
        # were still coming, left the program without the size line of its
        # windowed size back (10 of 20; 0 of 20 after the start).
        program = self.enterContext(start_program(self.desktop))
        program.wait_for_window()
        program.focus()
        program.wait_until_still()
        return program

    def assert_only_log_lines(self, program):
        self.assertEqual(stray_lines(program.lines(), b"SDL_GetPointerProperty failed: "), [])

    def test_each_key_brings_its_window_events(self):
        for layout, keys, elsewhere in LAYOUTS:
            with self.subTest(layout=layout):
                if layout != "us" and not self.desktop.set_keyboard_layout(layout):
                    self.skipTest(f"{self.desktop.name} sets no keyboard layout")
                self.check_keys(keys, elsewhere)

    def check_keys(self, keys, elsewhere):
        program = self.start()

        def press(key):
            *modifiers, name = key.split("+")
            return lambda: self.desktop.key("+".join([*modifiers, keys.get(name, name)]))

        def hold_m_while_unmaximised():
            if not self.desktop.holds_keys:
                self.skipTest(f"{self.desktop.name} holds no key down")
            with self.desktop.key_held(keys.get("m", "m")):
                # The press itself asks the maximised window to maximise once
                # more; the unmaximising comes after that request, and long
                # before the first repeat.
                program.wait_for_loop_turn()
                seen = len(program.events())
                self.desktop.unmaximise(program.window)
                program.wait_for_event("SDL_EVENT_WINDOW_RESTORED", after=seen)
                labels = [event[0] for event in program.events()]
                restored = labels.index("SDL_EVENT_WINDOW_RESTORED", seen)
                program.wait_for_event("SDL_EVENT_WINDOW_MAXIMIZED", after=restored)

        screen = (self.desktop.width, self.desktop.height)
        # None: the size stays as it is.
        windowed = (640, 480) if self.desktop.restores_after_fullscreen else None
        steps = []
        # A tiling compositor may leave a floating window as it is.
        if self.desktop.maximises:
            steps += [
                ("m", press("m"), "SDL_EVENT_WINDOW_MAXIMIZED", self.desktop.work_area()),
                # Each repeat of a held key repeats its command.
                ("held m", hold_m_while_unmaximised, "SDL_EVENT_WINDOW_MAXIMIZED",
                 self.desktop.work_area()),
                ("r", press("r"), "SDL_EVENT_WINDOW_RESTORED", (640, 480)),
            ]
        if elsewhere:
            # The letter of a window key where the layout puts it brings nothing:
            # checked when the next key's event has come.
            steps.append((f"letter {elsewhere}", lambda: self.desktop.key(elsewhere), None, None))
        steps += [
            ("f", press("f"), "SDL_EVENT_WINDOW_ENTER_FULLSCREEN", screen),
            ("w", press("w"), "SDL_EVENT_WINDOW_LEAVE_FULLSCREEN", windowed),
            # Modifiers do not matter: the key's position does.
            ("shift+f", press("shift+f"), "SDL_EVENT_WINDOW_ENTER_FULLSCREEN", screen),
            ("ctrl+w", press("ctrl+w"), "SDL_EVENT_WINDOW_LEAVE_FULLSCREEN", windowed),
        ]
        current = (640, 480)
        quiet_since = None
        for key, type_it, label, size in steps:
            with self.subTest(key=key):
                seen = len(program.events())
                # Where the screen is seen frame by frame, the maximised
                # window must come to show painted all over its new place.
                watched = key == "m" and self.desktop.watches_screen
                with self.desktop.watching() if watched else contextlib.nullcontext() as watch:
                    type_it()
                    if label is None:
                        quiet_since = seen
                        continue
                    program.wait_for_event(label, after=seen)
                    if size and size != current:
                        program.wait_for_event("SDL_EVENT_WINDOW_RESIZED", after=seen)
                        resized = program.values("SDL_EVENT_WINDOW_RESIZED", seen)
                        self.assertEqual(resized[-1], size)
                        current = size
                if watch:
                    painted, _ = watch.story()
                    self.assertIsNotNone(painted, "the maximised window was never painted all "
                                                  "over on the screen")
                if quiet_since is not None:
                    commands = {event[0] for event in program.events()[quiet_since:]} & COMMANDS
                    self.assertEqual(commands, {label}, "a letter where no window key is "
                                                        "brought a command")
                    quiet_since = None
        with self.subTest(key="n"):
            seen = len(program.events())
            press("n")()
            # Whether the window really goes is the desktop's word, not the log's.
            hides = self.desktop.hides_on_minimise
            wait_until(lambda: self.desktop.window_hidden(program.window) == hides, 5,
                       "the window to be hidden" if hides else "the window to stay")
            if self.desktop.reports_minimise:
                program.wait_for_event("SDL_EVENT_WINDOW_MINIMIZED", after=seen)
            else:
                # Whatever the desktop told the program by now, it has logged.
                program.wait_for_loop_turn()
                self.assertFalse(program.saw("SDL_EVENT_WINDOW_MINIMIZED", seen))
        program.terminate()
        program.wait_for_prompt()
        self.assertEqual(program.finish(), 0)
        self.assert_only_log_lines(program)

    def test_quitting_brings_the_prompt(self):
        ways = [
            ("window manager close", lambda p: p.close()),
            ("SIGTERM", lambda p: p.terminate()),
            ("SIGINT", lambda p: p.process.send_signal(signal.SIGINT)),
        ]
        for name, quit_program in ways:
            with self.subTest(way=name):
                if name == "window manager close" and not self.desktop.closes_windows:
                    self.skipTest(f"{self.desktop.name} closes no window")
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


@unittest.skipIf(MISSING, f"missing {MISSING}")
class DesktopKeys(unittest.TestCase):
    """The desktop's own keys for a window, each on a program of its own:
    the window does what another client's window with the desktop's title
    bar does (on X11), or what the desktop's traits say, the program is
    told of a maximise, and the strip still moves a window the key left
    as it was."""

    @classmethod
    def setUpClass(cls):
        cls.desktop = cls.enterClassContext(desktop())

    def test_each_key_does_what_it_does_to_other_windows(self):
        area = self.desktop.work_area()
        for name, keys in day.KEYS:
            with self.subTest(key=name), contextlib.ExitStack() as stack:
                expected = day.control_keys(self.desktop, keys)
                if expected is None and self.desktop.desktop_keys is not None:
                    expected = self.desktop.desktop_keys.get(name, "unchanged")
                if expected is None:
                    self.skipTest(f"what {self.desktop.name} does with {name} is not known")
                program = stack.enter_context(start_program(self.desktop))
                program.wait_for_window()
                program.focus()
                program.wait_until_still()
                before, seen = day.place(program), len(program.events())
                self.desktop.key(keys)

                def got():
                    if self.desktop.window_hidden(program.window):
                        return "hidden"
                    return day.outcome(before, day.place(program), day.WINDOWED, area)
                wait_for_outcome(program, got, expected, f"the window {expected} from {before}",
                                 seen)
                if expected == "maximised":
                    program.wait_for_event("SDL_EVENT_WINDOW_MAXIMIZED", after=seen)
                elif expected == "unchanged":
                    # A key the desktop leaves alone leaves the frame working;
                    # a tiled window is the day's-use drags' to try.
                    program.wait_until_still()
                    before = day.place(program)
                    program.drag(300, 50, 40, 32, 4, taken=True)
                    wait_until(lambda: day.outcome(before, day.place(program), day.WINDOWED,
                                                   area) in ("moved", "restored"), 5,
                               "the strip to move the window")
                program.terminate()
                program.wait_for_prompt()
                self.assertEqual(program.finish(), 0)


if __name__ == "__main__":
    unittest.main()
