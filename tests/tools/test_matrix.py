"""The committed desktop matrix has the desktops and the actions that
tools/matrix.py writes today, so that a desktop or an action added to the
script without a new run of it does not go unseen; its summary has a row for
every desktop, a note for every mark that is not a plain yes and a section
for every link, a verdict that agrees with the marks, and the evidence of
every known problem; the summary's answers are read right from the cells; and a
matrix read back keeps every cell, so that a run of some desktops loses none
of the others; each desktop's name says the path its window took; and the
table of releases people run links a row for each, by the rule the library
was seen to follow."""

import re
import unittest

from desktop import RECORDS
from tools import links, matrix, matrix_releases, matrix_summary, matrix_table

ROW = re.compile(r"\| [^|]+ \| \[[^\]]+\]\(#([^)]+)\) \|(.*)\|")
NOTE = re.compile(r"(\d+)\. \S.*")


def committed():
    with open(matrix.OUTPUT) as page:
        return page.read()


def summary_of(markdown):
    """The summary's rows as (anchor, cells after the desktop), and its notes
    by number."""
    part = markdown.split(f"## {matrix_table.SUMMARY}\n", 1)[1].split("\n## ", 1)[0]
    rows = [(match[1], match[2].split(" | ")) for match in map(ROW.fullmatch, part.splitlines())
            if match]
    notes = {int(match[1]) for match in map(NOTE.fullmatch, part.splitlines()) if match}
    return rows, notes


# The cells of a desktop that does everything.
EVERYTHING = {
    **{band: [f"→ {did}"] for band, did in matrix_summary.BANDS.items()},
    **{key: [label, "→ moved and resized"] for key, label in matrix_summary.KEYS.items()},
    "N": ["MINIMIZED", "→ hidden"], matrix_summary.STRIP: ["→ moved"],
    matrix_summary.HANDOVERS: ["100 of 100"], matrix_summary.PATH: ["X11"],
    matrix_summary.START: ["PIXEL_SIZE_CHANGED 640,480"],
    matrix_summary.BEHIND: ["MOVED 400,332", "→ moved"],
    matrix_summary.SHAPES: ["strip default", "left w-resize", "→ every region as named"],
    matrix_summary.OUT_OF_MAXIMISED: ["RESTORED", "RESIZED 640,480", "→ restored",
                                      "→ pointer on the strip, at 23 % of the width",
                                      "→ then the bottom-right band: resized to 600 × 448"],
    **{edge: ["→ left half", "→ own title bar: left half",
              "→ then the bottom-right band: resized to 600 × 992"]
       for edge in matrix_summary.EDGES},
    "keys: Super+Up": ["MAXIMIZED", "→ maximised", "→ own title bar: maximised"],
    "keys: Alt+F10": ["→ unchanged", "→ own title bar: unchanged"],
    matrix_summary.AFTER_KEYS_STRIP: ["MOVED 40,32", "→ moved"],
    matrix_summary.AFTER_KEYS_BAND: ["RESIZED 600,448", "→ resized"],
}
OUT = matrix_summary.OUT_OF_MAXIMISED
LEFT = "strip to the left edge"


class Matrix(unittest.TestCase):
    def test_the_committed_matrix_has_the_tools_desktops_and_actions(self):
        cells = matrix_table.parse(committed())
        self.assertEqual(sorted(cells), sorted(matrix.COLUMNS),
                         "docs/desktops.md is out of date: run python3 -m tools.matrix")
        for name, column in cells.items():
            self.assertEqual(list(column), matrix.ROWS, name)
        self.assertEqual(matrix.markdown(cells), committed(),
                         "docs/desktops.md is not what its cells render: edited by hand?")

    def test_the_summary_has_every_desktop_every_note_and_every_section(self):
        markdown = committed()
        rows, notes = summary_of(markdown)
        self.assertEqual(sorted(anchor for anchor, _ in rows),
                         sorted(links.slug(name) for name in matrix.COLUMNS))
        sections = links.anchors(markdown)
        marked = set()
        for anchor, texts in rows:
            self.assertIn(anchor, sections)
            for text in texts:
                number = re.search(r"<sup>(\d+)</sup>", text)
                if text.strip().startswith((matrix_summary.PART, matrix_summary.NO, "not run")):
                    self.assertTrue(number, (anchor, text))
                if number:
                    marked.add(int(number[1]))
        self.assertEqual(marked, notes, "a mark without its note, or a note without a mark")

    def test_every_summary_row_has_a_verdict_and_every_problem_its_evidence(self):
        markdown = committed()
        rows, _ = summary_of(markdown)
        sections = links.anchors(markdown)
        for anchor, texts in rows:
            verdict = texts[-1].strip()
            self.assertRegex(verdict, r"^(works(, except: \S.*)?|the frame does not work: \S.*|"
                                      r"not tried here<sup>\d+</sup>)$", anchor)
            marks = [text for text in texts[:-1] if text.strip().startswith(
                (matrix_summary.PART, matrix_summary.NO))]
            if not verdict.startswith("not tried"):
                self.assertEqual(verdict == "works", not marks, (anchor, verdict))
        part = markdown.split(matrix_table.KNOWN, 1)[1].split(matrix_table.NOT_COVERED_INTRO)[0]
        for line in filter(NOTE.fullmatch, part.splitlines()):
            evidence = re.findall(r"\]\(#([^)]+)\)", line)
            self.assertTrue(evidence, line)
            for anchor in evidence:
                self.assertIn(anchor, sections, line)

    def test_the_answers_come_from_the_cells(self):
        wayland = {matrix_summary.PATH: ["Wayland client"]}
        busy = [matrix_summary.load_line(1.5, 2.5, 2)]
        quiet = [matrix_summary.load_line(0.5, 1.5, 2)]
        # (what differs from a desktop that does everything, question, mark, note)
        for change, question, mark, note in [
            ({}, "start", "✔", None),
            ({"top-right corner": ["RESIZED 800,600", "→ resized"]}, "bands resize as named",
             "◐", "top-right corner: the window is resized, not moved and resized"),
            ({band: ["→ no change"] for band in matrix_summary.BANDS}, "bands resize as named",
             "✘", "every band: the window does not change"),
            ({matrix_summary.STRIP: ["→ no change"]}, "strip moves", "✘",
             "strip: the window does not change"),
            ({"M": ["MAXIMIZED", "→ no change"]}, "M", "◐",
             "M: logs MAXIMIZED, but the window does not change"),
            ({"N": ["→ no change"]}, "N", "✘",
             "N: nothing is logged and the window does not change"),
            ({"N": ["MINIMIZED", "→ off the screen"]}, "N", "✔", None),
            ({"F": ["→ moved and resized"]}, "F", "◐",
             "F: the window is moved and resized, but no ENTER_FULLSCREEN is logged"),
            ({matrix_summary.HANDOVERS: ["97 of 100"]}, "drags taken over", "◐",
             "97 of 100 strip drags moved the window; load not recorded"),
            ({matrix_summary.HANDOVERS: ["97 of 100"], matrix_summary.LOAD: quiet},
             "drags taken over", "◐",
             "97 of 100 strip drags moved the window; load 1.50 on 2 cores"),
            ({matrix_summary.LOAD: busy}, "drags taken over", "✔", None),
            ({matrix_summary.HANDOVERS: ["97 of 100"], matrix_summary.LOAD: busy},
             "drags taken over", "◐",
             "97 of 100 strip drags moved the window; load 2.50 on 2 cores (busy)"),
            ({matrix_summary.HANDOVERS: ["0 of 100"]}, "drags taken over", "✘",
             "0 of 100 strip drags moved the window; load not recorded"),
            ({matrix_summary.START: ["PIXEL_SIZE_CHANGED 640,480", "MOVED 0,0"]}, "start", "◐",
             "start: logs MOVED 0,0"),
            ({matrix_summary.START: ["PIXEL_SIZE_CHANGED 640,480", "MOVED 0,0"], **wayland},
             "start", "✔", None),
            ({matrix_summary.START: ["RESIZED 1280,1004", "PIXEL_SIZE_CHANGED 1280,1004"]},
             "start", "✘", "start: logs RESIZED 1280,1004, PIXEL_SIZE_CHANGED 1280,1004"),
            ({}, "from behind", "✔", None),
            ({matrix_summary.BEHIND: ["→ no change"]}, "from behind", "✘",
             "strip from behind: the window does not change"),
            ({matrix_summary.BEHIND: ["→ not tried: no other window"]}, "from behind", "–",
             None),
            ({matrix_summary.BEHIND: []}, "from behind", "–", None),
            ({}, "pointer shape", "✔", None),
            ({matrix_summary.SHAPES: ["strip default", "left default",
                                      "→ not as named: left (default, not w-resize)"]},
             "pointer shape", "◐", "pointer: not as named: left (default, not w-resize)"),
            ({matrix_summary.SHAPES: ["→ not told: no shapes"]}, "pointer shape", "–", None),
            ({}, "out of maximised", "✔", None),
            ({OUT: ["→ unchanged", "→ own title bar: unchanged"]}, "out of maximised", "–",
             None),
            ({OUT: ["→ unchanged"]}, "out of maximised", "✘",
             "strip from maximised: the window does not change"),
            ({OUT: ["→ unchanged", "→ own title bar: restored"]}, "out of maximised", "✘",
             "strip from maximised: the window does not change, where its own title bar: "
             "restored"),
            ({OUT: ["RESTORED", "→ restored", "→ pointer off the strip, at 95 % of the width",
                    "→ then the bottom-right band: resized to 600 × 448"]},
             "out of maximised", "◐",
             "strip from maximised: restored, but the pointer is off the strip, at 95 % of "
             "the width"),
            ({OUT: ["→ restored", "→ pointer on the strip, at 23 % of the width",
                    "→ then the bottom-right band: resized to 600 × 448"]},
             "out of maximised", "◐",
             "strip from maximised: restored, but no RESTORED is logged"),
            ({OUT: ["→ not tried: the desktop maximises no window"]}, "out of maximised", "–",
             None),
            ({}, "to the edges", "✔", None),
            ({LEFT: ["→ moved", "→ own title bar: left half"]}, "to the edges", "✘",
             "strip to the edges: the left edge: moved, its own title bar: left half"),
            ({LEFT: ["→ left half", "→ then the bottom-right band: no change"]}, "to the edges",
             "◐", "strip to the edges: the left edge: then the bottom-right band: no change"),
            ({}, "desktop keys", "✔", None),
            ({"keys: Alt+F10": ["→ unchanged", "→ own title bar: maximised"]}, "desktop keys",
             "✘", "desktop keys: Alt+F10: unchanged, its own title bar: maximised"),
            ({matrix_summary.AFTER_KEYS_BAND: ["→ no change"]}, "desktop keys", "◐",
             "after the desktop keys, the bottom-right band: the window does not change"),
        ]:
            answers = dict(zip(matrix_summary.QUESTIONS,
                               matrix_summary.answers({**EVERYTHING, **change})))
            self.assertEqual((answers[question][0], answers[question][2]), (mark, note), change)

    def test_each_desktop_is_named_for_the_path_its_window_took(self):
        # The name's path is the table's, and the committed session saw the
        # window arrive by it, in every release alike.
        for name, column in matrix_table.parse(committed()).items():
            if name == matrix.WINE_COLUMN or column[matrix.PATH] == []:
                continue
            record = RECORDS.get(name)
            with self.subTest(name=name):
                self.assertIsNotNone(record, "a column that no row of the table names")
                self.assertRegex(name, rf"^({record.release}:)?{re.escape(record.desktop)}-"
                                       rf"{record.path}(-scale[\d.]+)?$")
                self.assertEqual(column[matrix.PATH], [matrix.PATHS[record.path]])

    def test_the_verdict_says_what_an_app_author_can_expect(self):
        for change, verdict in [
            ({}, "works"),
            ({"top-right corner": ["RESIZED 800,600", "→ resized"]},
             "works, except: the top-right corner only resizes"),
            ({"M": ["MAXIMIZED", "→ no change"], "N": ["→ no change"]},
             "works, except: M is logged but the window does not change; N does nothing"),
            ({matrix_summary.HANDOVERS: ["97 of 100"]}, "works, except: 97 of 100 drags taken over"),
            ({matrix_summary.STRIP: ["→ no change"], "R": ["→ no change"]},
             "the frame does not work: the strip does nothing; R does nothing"),
            ({band: ["→ no change"] for band in matrix_summary.BANDS},
             "the frame does not work: every band does nothing"),
            ({matrix_summary.START: ["RESIZED 1280,1004", "PIXEL_SIZE_CHANGED 1280,1004"]},
             "works, except: the window starts at another size"),
        ]:
            self.assertEqual(matrix_summary.verdict({**EVERYTHING, **change}), verdict, change)

    def test_the_library_took_the_path_the_release_table_says(self):
        # The rule the release table applies, against each session the
        # library was left to pick its own path in.
        for name, column in matrix_table.parse(committed()).items():
            record = RECORDS.get(name)
            if not record or record.forced or record.path == "x11" or not column[matrix.PATH]:
                continue
            with self.subTest(name=name):
                self.assertEqual(matrix_releases.path_of(record.desktop,
                                                         " ".join(column[matrix.VERSION]),
                                                         "wayland"), record.path)

    def test_the_release_table_links_a_row_for_every_release_people_run(self):
        part = committed().split(f"## {matrix_releases.HEADING}\n", 1)[1].split("\n## ", 1)[0]
        rows = [line.split(" | ") for line in part.splitlines()
                if line.startswith("| ") and not line.startswith(("| release", "|---"))]
        sections = links.anchors(committed())
        for release in ["Ubuntu 22.04", "Ubuntu 24.04", "Ubuntu 26.04", "Fedora 44", "Fedora 45",
                        "Linux Mint", "Arch Linux", "Debian 12", "Debian 13", "Debian testing"]:
            self.assertTrue([row for row in rows if row[0].startswith(f"| {release}")], release)
        for row in rows:
            with self.subTest(row=row[:2]):
                anchor = re.fullmatch(r"\[[^\]]+\]\(#([^)]+)\) \|", row[-1])
                self.assertTrue(anchor, row)
                self.assertIn(anchor[1], sections)
                if not row[0].startswith("| Debian"):
                    self.assertRegex(row[2], r"\[\d+\]$", "a version without its source")

    def test_the_summary_reads_the_rows_the_session_writes(self):
        for row in [matrix_summary.STRIP, *matrix_summary.BANDS, *matrix_summary.KEYS,
                    matrix_summary.BEHIND, matrix_summary.SHAPES, matrix_summary.OUT_OF_MAXIMISED,
                    *matrix_summary.EDGES, matrix_summary.AFTER_KEYS_STRIP,
                    matrix_summary.AFTER_KEYS_BAND]:
            self.assertIn(row, matrix.ROWS)

    def test_a_matrix_read_back_has_the_cells_it_was_written_from(self):
        names = [name for name in matrix.COLUMNS if matrix_table.generation_of(name) == ""][:2]
        names += [name for name in matrix.COLUMNS if ":" in name][:1]
        cells = {
            names[0]: {matrix.START: ["MOVED 1,2", "a | b", "", "last \\ one"]},
            names[1]: {matrix.HANDOVERS: ["100 of 100"], matrix.STDERR: ["·x", "<b>"],
                       matrix.LOAD: [matrix_summary.load_line(0.25, 3, 2)]},
            names[2]: {matrix.LIBRARY: ["SDL 3.4.18"]},
        }
        read = matrix_table.parse(matrix.markdown(cells))
        for name, rows in cells.items():
            for row, lines in rows.items():
                self.assertEqual(read[name][row], lines, (name, row))
        self.assertEqual(read[names[0]][matrix.WARNINGS], [])


if __name__ == "__main__":
    unittest.main()
