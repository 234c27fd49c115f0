"""The desktop matrix as Markdown: a summary of every desktop in one table,
derived from the cells, then a short section per desktop with its cells;
and the cells read back from the sections, so that a run of some desktops
keeps the cells of the others."""

import re

from tools import matrix_releases
from tools import matrix_summary as summary
from tools.links import slug

INTRO = """\
# What each desktop does with the program

Which desktops move the window by its strip, resize it from its eight bands,
take over every drag and do what F, W, M, N and R ask: the summary answers
that for every desktop the program was run on, one row each, ending in a
verdict an app author can act on, and each row links the section with what
that desktop logged and did, action by action. Below it, every problem in
words with the desktops it was seen on, and the desktops not covered.

Written by `python3 -m tools.matrix`; do not edit by hand. One scripted session
per desktop: the program starts, the strip is dragged back and forth
{drags} times (each drag pauses 50 ms between press and motion), then
each action below is made once. A section's cells list the lines the program
logged (labels without `SDL_EVENT_WINDOW_`, each label once in the order of
its first line, with its first and last values and how many lines it had),
then what the desktop did to the window (→). Time stamps are left out.
A count of drags below {drags} is given with the machine's load during the
session (the 1-minute load average; busy where it exceeds the cores), since a
busy machine delays the desktop as much as a fault does; sessions run before
the load was recorded say so. Where the screen can be watched frame by frame
(an X server's own screen, mutter's screen cast), the section also says how
long after M the window showed painted all over its new place, and for how
long part of it showed black on the way: the times of one run, drawn in
software, without a graphics card. A second session per desktop then
starts the program anew for each of its actions (the rows from "strip from
behind" on): the pointer's shape over each region, the strip dragged from
behind another window, and the drags of a day's use, out of a maximised
window and to the screen's edges, each followed where the window is no
longer maximised by a drag of its bottom-right band, and the desktop's own
keys for a window, one after another, with the strip and a band after them.
On X11 the same drag of another client's window by the title bar the window
manager draws, or the same key typed to it, is the control ("own title
bar"): what the desktop offers for its own frame.
"""
SUMMARY = "Summary"
LEGEND = ("✔ yes · ◐ in part · ✘ no · – not offered, or not tried; a number is a known "
          "problem below the table. "
          "Version: the desktop's own, as its Debian release packages it (for the Windows "
          "build, Wine's). Path: how the window reaches the desktop. Start: the window "
          "placed as asked, or what the desktop did to it first. From behind: the strip "
          "dragged while another window has the focus. Out of maximised: the strip dragged "
          "200 pixels down from the maximised window, which should come out under the "
          "pointer, be logged RESTORED and then resize from its bands. To the edges: the "
          "strip dragged to the top, left and right edges and the top-left corner, where the "
          "window tiles or only moves, as another window's title bar does where one was "
          "tried, and then resizes from its bands. Desktop keys: how many of the desktop's "
          "own keys for a window (Super with Up, Down, Left and Page Up, Alt+F10, and Alt+F7 "
          "and Alt+F8 with arrows, the keyboard's move and resize) change the window, "
          "✘ where one does not do what it does to another window, and the strip and a band "
          "tried after them.")
KNOWN = ("Known problems, each in words with the desktops whose sections show it (their "
         "cells are the evidence):")
NOT_COVERED_INTRO = "Desktops not covered, and why:"
# Desktops people run that no column holds.
NOT_COVERED = [
    ("GNOME Shell and Plasma as sessions", "the matrix starts their window managers, mutter "
     "and KWin, bare: without the shell's window menu, tile preview and animations"),
    ("xmonad and bspwm", "not yet: started with their packaged configuration here, bspwm left "
     "the program's window untiled and xmonad never gave it the focus, for reasons not yet "
     "found"),
    ("Enlightenment", "not tried yet"),
    ("COSMIC, wayfire, cage and other compositors", "not tried yet"),
    ("Windows itself", "the Windows build is tried under Wine alone"),
    ("macOS", "the program is not built for it"),
]
# A cell's lines are joined by <br>; a bar inside a line is escaped.
BREAK = "<br>"
UNESCAPED_BAR = re.compile(r"(?<!\\) \| ")
HEAD = "| action | what the program logged → what the desktop did |"


def generation_of(column):
    """The release a column's desktop runs in ("" for this system's own),
    from the RELEASE:DESKTOP form of its name."""
    return column.split(":", 1)[0] if ":" in column else ""


def head(column):
    return column.split(":", 1)[1] if ":" in column else column


def cell(lines):
    return BREAK.join(line.replace("|", "\\|") for line in lines) or "·"


def lines_of(text):
    return [] if text == "·" else [line.replace("\\|", "|") for line in text.split(BREAK)]


class Notes:
    """The summary's numbered notes, each text once, with the desktops
    whose sections show it."""

    def __init__(self):
        self.seen_on = {}

    def mark(self, text, name):
        self.seen_on.setdefault(text, [])
        if name not in self.seen_on[text]:
            self.seen_on[text].append(name)
        return f"<sup>{list(self.seen_on).index(text) + 1}</sup>"

    def lines(self):
        return [f"{number}. {text}: {', '.join(f'[{name}](#{slug(name)})' for name in names)}"
                for number, (text, names) in enumerate(self.seen_on.items(), 1)]


def summary_row(title, name, column, notes):
    first = [title, f"[{head(name)}](#{slug(name)})"]
    why = summary.not_run(column)
    if why:
        mark = notes.mark(why, name)
        return (first + [f"not run{mark}", "–", "–"] + ["–"] * len(summary.QUESTIONS)
                + [f"not tried here{mark}"])
    first += [" ".join(column.get(summary.VERSION, [])) or "unknown",
              " ".join(column.get(summary.PATH, [])) or "unknown",
              " ".join(column.get(summary.LIBRARY, [])) or "unknown"]
    return (first + [f"{mark} {shown}".strip() + (notes.mark(note, name) if note else "")
                     for mark, shown, note, _ in summary.answers(column)]
            + [summary.verdict(column)])


def summary_table(generations, columns, cells):
    notes = Notes()
    out = [f"## {SUMMARY}", "", LEGEND, "",
           "| generation | desktop | version | path | library | " + " | ".join(summary.QUESTIONS)
           + " | verdict |", "|---" * (6 + len(summary.QUESTIONS)) + "|"]
    for release, title in generations:
        for name in columns:
            if generation_of(name) == release:
                out.append("| " + " | ".join(summary_row(title, name, cells.get(name, {}), notes))
                           + " |")
    out += ["", KNOWN, ""] + notes.lines() + ["", NOT_COVERED_INTRO, ""]
    out += [f"- {desktop}: {why}" for desktop, why in NOT_COVERED]
    return out + [""]


def section(name, rows, column):
    load = column.get(summary.LOAD) or [summary.NOT_RECORDED]
    out = [f"### {name}", "", f"[Summary](#{slug(SUMMARY)})", "", HEAD, "|---|---|"]
    out += [f"| {row} | {cell(load if row == summary.LOAD else column.get(row, []))} |"
            for row in rows]
    return out + [""]


def render(generations, rows, columns, cells, drags):
    """generations: (release, title) in order; columns: every column's
    name in order; cells: column to row to lines."""
    out = ([INTRO.format(drags=drags)] + matrix_releases.render(cells, slug)
           + summary_table(generations, columns, cells))
    for release, title in generations:
        names = [name for name in columns if generation_of(name) == release]
        if names:
            out += [f"## {title}", ""]
            for name in names:
                out += section(name, rows, cells.get(name, {}))
    return "\n".join(out)


def parse(markdown):
    """The cells of a rendered matrix: column to row to lines."""
    cells, name = {}, None
    for line in markdown.splitlines():
        if line.startswith("## "):
            name = None
        elif line.startswith("### "):
            name = line[4:]
            cells[name] = {}
        elif name and line.startswith("| ") and line != HEAD:
            row, text = UNESCAPED_BAR.split(line[2:-2])
            cells[name][row] = lines_of(text)
    return cells
