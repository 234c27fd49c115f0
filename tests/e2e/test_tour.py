"""The guided tour runs to its end, its transcript shows what the program
logged in the order the scripted user acted, and its screenshots show the
grey window where the desktop says it is."""

import os
import re
import subprocess
import sys
import unittest

from harness import (DESKTOP, DESKTOP_MISSING, GREY, PROMPT, desktop, painted_grey, program_on,
                     read_pixels, scratch_dir)

MISSING = DESKTOP_MISSING
SHOT = re.compile(r"^== screenshot: (.+\.png) \(window at (-?\d+),(-?\d+), (\d+)x(\d+)\)$")
TRAITS = desktop()


@unittest.skipIf(MISSING, f"missing {MISSING}")
class GuidedTour(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shots = cls.enterClassContext(scratch_dir())
        result = subprocess.run([sys.executable, "-m", "tools.tour", "--program",
                                 program_on(TRAITS), "--shots", shots, "--desktop", DESKTOP],
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
        cls.status, cls.transcript, cls.errors = result.returncode, result.stdout, result.stderr
        cannot = re.search(rb"^== .* cannot start here: (.*)$", cls.transcript, re.MULTILINE)
        if cannot:
            raise unittest.SkipTest(cannot[1].decode())

    def test_transcript_follows_the_scripted_user(self):
        self.assertEqual(self.status, 0, (self.transcript + self.errors).decode(errors="replace"))
        steps = [b"dragging the top strip"]
        if TRAITS.reports_moves:
            steps.append(b"SDL_EVENT_WINDOW_MOVED")
        for band in [b"left edge", b"right edge", b"top edge", b"bottom edge",
                     b"top-left corner", b"top-right corner", b"bottom-left corner",
                     b"bottom-right corner"]:
            steps += [b"resizing from the " + band, b"SDL_EVENT_WINDOW_RESIZED"]
        steps += [b"pressing F", b"SDL_EVENT_WINDOW_ENTER_FULLSCREEN",
                  b"pressing W", b"SDL_EVENT_WINDOW_LEAVE_FULLSCREEN"]
        if TRAITS.maximises:
            steps += [b"pressing M", b"SDL_EVENT_WINDOW_MAXIMIZED",
                      b"pressing R", b"SDL_EVENT_WINDOW_RESTORED"]
        steps.append(b"pressing N")
        if TRAITS.reports_minimise:
            steps.append(b"SDL_EVENT_WINDOW_MINIMIZED")
        steps += [b"closing the window", PROMPT, b"the program ended with status 0\n"]
        position = 0
        for step in steps:
            found = self.transcript.find(step, position)
            self.assertGreaterEqual(found, 0, f"{step!r} missing after byte {position}")
            position = found + len(step)

    def test_program_lines_arrive_whole_and_untouched(self):
        for line in self.transcript.splitlines(keepends=True):
            if line.startswith(b"== "):
                self.assertTrue(line.endswith(b"\n") and not line.endswith(b"\r\n"), line)
            else:
                self.assertTrue(line.endswith(b"\r\n"), line)

    def test_screenshots_show_the_grey_window_where_the_window_manager_puts_it(self):
        none = re.search(rb"^== no screenshot: (.*)$", self.transcript, re.MULTILINE)
        if none:
            self.skipTest(none[1].decode())
        shots = [SHOT.match(line) for line in self.transcript.decode().splitlines()]
        shots = [m for m in shots if m]
        self.assertEqual([os.path.basename(m.group(1)) for m in shots],
                         ["start.png", "drag.png", "corner-resize.png", "fullscreen.png"]
                         + (["maximised.png"] if TRAITS.maximises else []))
        for match in shots:
            with self.subTest(shot=os.path.basename(match.group(1))):
                path = match.group(1)
                x, y, w, h = (int(v) for v in match.groups()[1:])
                self.assertTrue(painted_grey(path, (x, y, w, h)), "not all grey in the picture")
                # Just outside the window there is no grey of its own.
                outside = [(x - 1, y + h // 2), (x + w, y + h // 2), (x + w // 2, y - 1),
                           (x + w // 2, y + h)]
                for px, py in outside:
                    if 0 <= px < TRAITS.width and 0 <= py < TRAITS.height:
                        self.assertNotEqual(read_pixels(path, px, py, 1, 1), GREY, (px, py))


if __name__ == "__main__":
    unittest.main()
