"""The Windows build under Wine, on the same virtual desktop: the native
sizing frame, the keys, the frame regions and their pointer shapes, and the
console's byte stream."""

import os
import subprocess
import unittest

from harness import (CREATION_FAILED, PROMPT, REPORT, WINE, Program, desktop, stray_lines,
                     wait_until, wine_env, wine_server)
from test_frame import REGIONS

BUILD = os.environ.get("WINDOW_TEST_WIN64_DIR", "")
# The Windows build talks X11 through Wine.
DESKTOP = desktop("openbox-x11")
MISSING = DESKTOP.missing() + ([] if WINE else ["wine64"])
WS_THICKFRAME = 0x00040000
# Windows has one sizing cursor for each axis and diagonal, and Wine shows
# each as the X cursor of this name: the shape a region's hit-test answer
# brings, by the shape of the X11 test.
WINDOWS_SHAPES = {
    "default": "left_ptr",
    "w-resize": "h_double_arrow", "e-resize": "h_double_arrow",
    "n-resize": "v_double_arrow", "s-resize": "v_double_arrow",
    "nw-resize": "top_left_corner", "se-resize": "top_left_corner",
    "ne-resize": "top_right_corner", "sw-resize": "top_right_corner",
}


def helper(name):
    return os.path.join(BUILD, "tests", f"{name}.exe")


def program_command():
    return [WINE, os.path.join(BUILD, "window-test.exe")]


@unittest.skipIf(not BUILD, "the Windows build was not given")
@unittest.skipIf(MISSING, f"missing {MISSING}")
class UnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = cls.enterClassContext(DESKTOP)
        cls.enterClassContext(wine_server(cls.desktop, BUILD))

    def start(self, **extra_env):
        program = self.enterContext(
            Program(self.desktop, program_command(), **wine_env(BUILD), **extra_env))
        program.wait_for_window(timeout=60)
        # Its first window events are logged from inside the loop.
        wait_until(program.events, 30, "the loop to start")
        return program

    def finish(self, program):
        # Wine turns no signal into a quit: the window manager closes the window.
        program.close()
        program.wait_for_prompt(timeout=20)
        self.assertEqual(program.finish(b"abc\r\n", timeout=30), 0)
        self.assertEqual(stray_lines(program.lines()), [])

    def test_the_window_carries_the_native_sizing_frame(self):
        # The library gives a borderless resizable window the bit itself unless
        # told not to; told so, only the program's own step can have set it.
        for library_style in ["1", "0"]:
            with self.subTest(library_adds_the_bit=library_style):
                program = self.start(SDL_BORDERLESS_RESIZABLE_STYLE=library_style)
                style = subprocess.run([WINE, helper("window-style")],
                                       env=self.desktop.env(**wine_env(BUILD)), capture_output=True,
                                       text=True, timeout=60).stdout.strip()
                self.assertTrue(int(style, 16) & WS_THICKFRAME, style)
                self.finish(program)  # and no error line of the native step

    def test_keys_bring_their_window_events(self):
        program = self.start()
        program.focus()
        for key, label in [("m", "SDL_EVENT_WINDOW_MAXIMIZED"),
                           ("r", "SDL_EVENT_WINDOW_RESTORED"),
                           ("f", "SDL_EVENT_WINDOW_ENTER_FULLSCREEN"),
                           ("w", "SDL_EVENT_WINDOW_LEAVE_FULLSCREEN"),
                           ("n", "SDL_EVENT_WINDOW_MINIMIZED")]:
            with self.subTest(key=key):
                seen = len(program.events())
                self.desktop.key(key)
                program.wait_for_event(label, after=seen, timeout=20)
        self.finish(program)

    def test_drags_move_and_resize(self):
        program = self.start()
        for (x, y), label in [((300, 50), "SDL_EVENT_WINDOW_MOVED"),
                              ((635, 240), "SDL_EVENT_WINDOW_RESIZED")]:
            with self.subTest(label=label):
                seen = len(program.events())
                program.drag(x, y, 40, 32)
                program.wait_for_event(label, after=seen, timeout=20)
        self.finish(program)

    def test_each_region_shows_its_pointer_shape(self):
        program = self.start()
        width, height = program.geometry()[2:]
        for name, (x, y), _, shape, _ in REGIONS:
            with self.subTest(region=name):
                self.desktop.point(program.window, x % width, y % height)
                # Wine's loop cannot be watched from here: the shape is
                # waited for.
                program.wait_for_shape(WINDOWS_SHAPES[shape], timeout=10)
        self.finish(program)

    def test_stdout_holds_exactly_crlf_line_ends(self):
        program = self.start()
        program.focus()
        self.desktop.key("m")
        program.wait_for_event("SDL_EVENT_WINDOW_MAXIMIZED", timeout=20)
        self.finish(program)
        output = program.output()
        self.assertTrue(output.endswith(PROMPT))
        self.assertEqual(output.count(b"\r\n"), output.count(b"\n"))
        self.assertEqual(output.count(b"\r\n"), output.count(b"\r"))

    def test_failed_reads_end_with_the_status_of_the_windows_error(self):
        env = self.desktop.env(**wine_env(BUILD), SDL_VIDEO_DRIVER="nosuch")
        expected_out = CREATION_FAILED + PROMPT
        cases = [
            # Started with no standard input handle: ERROR_INVALID_HANDLE (6).
            ("no handle", [WINE, helper("without-stdin"), program_command()[1]], {}, 6),
            # Wine reads a closed descriptor as ERROR_INVALID_FUNCTION (1).
            ("closed", program_command(), {"preexec_fn": lambda: os.close(0)}, 1),
        ]
        for name, command, kwargs, status in cases:
            with self.subTest(stdin=name):
                result = subprocess.run(command, env=env, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, timeout=60, **kwargs)
                self.assertEqual(result.stdout, expected_out)
                self.assertEqual(result.returncode, status)
                self.assertRegex(result.stderr, REPORT)
        # The writer of a pipe has gone: the end of input, status 0.
        result = subprocess.run(program_command(), env=env, input=b"",
                                capture_output=True, timeout=60)
        self.assertEqual((result.returncode, result.stdout), (0, expected_out))


if __name__ == "__main__":
    unittest.main()
