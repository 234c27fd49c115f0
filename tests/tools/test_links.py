"""Every relative link and #anchor of README.md and docs/*.md finds its page
and heading, and the check finds a dead one where there is one."""

import os
import tempfile
import unittest

from tools import links


class Links(unittest.TestCase):
    def test_the_projects_pages_have_no_dead_link(self):
        self.assertEqual(links.dead(links.project_pages()), [])

    def test_headings_anchors_as_on_github(self):
        for heading, anchor in [
            ("Quick start", "quick-start"),
            ("Debian 13 (trixie)", "debian-13-trixie"),
            ("forky:kwin-xwayland", "forkykwin-xwayland"),
            ("sway-scale1.5", "sway-scale15"),
            ("Windows build (Wine, openbox)", "windows-build-wine-openbox"),
            ("`e2e.frame` and [the matrix](docs/desktops.md)", "e2eframe-and-the-matrix"),
            ("mutter_x11", "mutter_x11"),
        ]:
            self.assertEqual(links.slug(heading), anchor, heading)

    def test_a_dead_link_is_found(self):
        with tempfile.TemporaryDirectory() as top:
            os.mkdir(os.path.join(top, "docs"))
            other = os.path.join(top, "docs", "other.md")
            with open(other, "w") as page:
                page.write("# Other\n\n## Part\n\n## Part\n")
            readme = os.path.join(top, "README.md")
            for target, is_dead in [
                ("docs/other.md", False), ("docs/other.md#part-1", False), ("#here", False),
                ("https://example.org/x", False), ("docs/gone.md", True),
                ("docs/other.md#part-2", True), ("#nowhere", True), ("../README.md#here", True),
            ]:
                text = f"# Here\n\nSee [it]({target}).\n\n    [code](docs/gone.md)\n"
                self.assertEqual(links.dead({readme: text}),
                                 [f"{readme}: {target}"] if is_dead else [], target)


if __name__ == "__main__":
    unittest.main()
