"""The desktop matrix as Markdown: one table per generation of desktops, and
the same tables read back, so that a run of some desktops keeps the cells of
the others."""

import re

INTRO = """\
# What each desktop does with the program

Written by `python3 -m tools.matrix`; do not edit by hand. One scripted session
per desktop: the program starts, the strip is dragged back and forth
{drags} times (each drag pauses 50 ms between press and motion), then
each action below is made once. A cell lists the lines the program logged
(labels without `SDL_EVENT_WINDOW_`, each label once in the order of its
first line, with its first and last values and how many lines it had), then
what the desktop did to the window (→). Time stamps are left out.
"""
# A cell's lines are joined by <br>; a bar inside a line is escaped.
BREAK = "<br>"
UNESCAPED_BAR = re.compile(r"(?<!\\) \| ")


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


def render(generations, rows, columns, cells, drags):
    """generations: (release, title) in order; columns: every column's
    name in order; cells: column to row to lines."""
    out = [INTRO.format(drags=drags)]
    for release, title in generations:
        names = [name for name in columns if generation_of(name) == release]
        if not names:
            continue
        out += [f"## {title}", "",
                "| action | " + " | ".join(head(name) for name in names) + " |",
                "|---" * (len(names) + 1) + "|"]
        for row in rows:
            out.append(f"| {row} | "
                       + " | ".join(cell(cells.get(name, {}).get(row, [])) for name in names)
                       + " |")
        out.append("")
    return "\n".join(out)


def parse(markdown, generations):
    """The cells of a rendered matrix: column to row to lines."""
    releases = {title: release for release, title in generations}
    cells, release, names = {}, None, []
    for line in markdown.splitlines():
        if line.startswith("## "):
            release = releases.get(line[3:])
        elif line.startswith("| action | ") and release is not None:
            heads = UNESCAPED_BAR.split(line[2:-2])[1:]
            names = [f"{release}:{name}" if release else name for name in heads]
        elif line.startswith("| ") and names and not line.startswith("|---"):
            row, *texts = UNESCAPED_BAR.split(line[2:-2])
            for name, text in zip(names, texts):
                cells.setdefault(name, {})[row] = lines_of(text)
    return cells


def layout(markdown):
    """Each table's column heads and row heads, by section title."""
    tables, title = {}, None
    for line in markdown.splitlines():
        if line.startswith("## "):
            title = line[3:]
        elif line.startswith("| action | "):
            tables[title] = (UNESCAPED_BAR.split(line[2:-2])[1:], [])
        elif line.startswith("| ") and not line.startswith("|---") and title in tables:
            tables[title][1].append(UNESCAPED_BAR.split(line[2:-2])[0])
    return tables
