"""What a desktop's cells of the matrix answer at a glance: for each
question a mark (✔ yes, ◐ in part, ✘ no) and, where the answer is not a
plain yes, one line saying what the desktop does instead and a few words
for the verdict; and the verdict, one line an app author can act on."""

import re

# The rows that belong to a session as a whole.
VERSION, PATH, LIBRARY = "version", "window reaches the desktop as", "library"
START, HANDOVERS, LOAD = "at start", "drags taken over", "the machine's load"
STDERR, WARNINGS = "standard error", "the desktop's warnings"
# What the screen showed after M, where it is watched frame by frame.
SCREEN = "the screen after M"
# The second session's rows (see tools/matrix.py).
BEHIND, SHAPES = "strip from behind", "pointer shapes"
YES, PART, NO = "✔", "◐", "✘"
STRIP = "drag the strip"
# Each band dragged outwards: a band that takes the left or the top edge
# moves the window as it resizes it.
BANDS = {"left edge": "moved and resized", "right edge": "resized",
         "top edge": "moved and resized", "bottom edge": "resized",
         "top-left corner": "moved and resized", "top-right corner": "moved and resized",
         "bottom-left corner": "moved and resized", "bottom-right corner": "resized"}
# Each key and the line it asks the library for.
KEYS = {"F": "ENTER_FULLSCREEN", "W": "LEAVE_FULLSCREEN", "M": "MAXIMIZED", "N": "MINIMIZED",
        "R": "RESTORED"}
# The desktop's word for how the window reached it, as the matrix says it.
PATHS = {"x11": "X11", "xwayland": "X11 client of XWayland", "wayland": "Wayland client"}
# The lines a window placed as asked starts with: a Wayland client is told
# no position but this one.
PLACED = {"X11": ["PIXEL_SIZE_CHANGED 640,480"],
          "X11 client of XWayland": ["PIXEL_SIZE_CHANGED 640,480"],
          "Wayland client": ["PIXEL_SIZE_CHANGED 640,480", "MOVED 0,0"]}
LOAD_LINE = re.compile(r"1-minute load average ([\d.]+) at the start, ([\d.]+) after the drags, "
                       r"on (\d+) cores")
NOT_RECORDED = "load not recorded"


# What the desktop did, as the end of a sentence about the window.
DOES = {"no change": "does not change", "moved": "moves", "resized": "is resized",
        "moved and resized": "is moved and resized", "hidden": "is hidden",
        "off the screen": "leaves the screen", "not on the screen": "is not on the screen",
        "shown again": "is shown again", "back on the screen": "comes back on the screen",
        "not seen": "was not seen"}


def outcome(lines):
    """What the desktop did to the window, from the cell's → line."""
    return next((line[2:] for line in reversed(lines) if line.startswith("→ ")), "not seen")


def not_run(column):
    """Why the desktop has no session, or None where it has one."""
    start = column.get(START, [])
    if start and start[0].startswith(("not run", "failed")):
        return start[0] if start[0].strip() != "failed:" else "failed, without a message"
    return None


def load_line(at_start, after_drags, cores):
    """The load row of a session: the 1-minute load average when it began and
    after its drags (the part that is timed), and the machine's cores."""
    return (f"1-minute load average {at_start:.2f} at the start, {after_drags:.2f} after the "
            f"drags, on {cores} cores")


def load(column):
    """(highest load average, cores) of the session, or None where not recorded."""
    match = next(filter(None, map(LOAD_LINE.fullmatch, column.get(LOAD, []))), None)
    if not match:
        return None
    return max(float(match[1]), float(match[2])), int(match[3])


def busy(column):
    """More runnable tasks than cores: the timed parts of the session waited."""
    seen = load(column)
    return seen is not None and seen[0] > seen[1]


def load_text(column):
    seen = load(column)
    if seen is None:
        return NOT_RECORDED
    return f"load {seen[0]:.2f} on {seen[1]} cores" + (" (busy)" if busy(column) else "")


# What the window did instead, as a verdict says it of a band.
INSTEAD = {"no change": "does nothing", "moved": "only moves", "resized": "only resizes"}


def strip(column):
    did = outcome(column.get(STRIP, []))
    if did == "moved":
        return YES, "", None, None
    return ((PART if "moved" in did else NO), "", f"strip: the window {DOES[did]}",
            f"the strip {INSTEAD.get(did, 'does not move the window')}")


def bands(column):
    did = {band: outcome(column.get(band, [])) for band in BANDS}
    wrong = {band: seen for band, seen in did.items() if seen != BANDS[band]}
    if not wrong:
        return YES, "", None, None
    mark = NO if all("resized" not in seen for seen in did.values()) else PART
    if len(wrong) == len(BANDS) and len(set(wrong.values())) == 1:
        seen = next(iter(wrong.values()))
        return (mark, "", f"every band: the window {DOES[seen]}",
                f"every band {INSTEAD.get(seen, DOES[seen])}")
    return (mark, "", "; ".join(f"{band}: the window {DOES[seen]}, not {BANDS[band]}"
                                for band, seen in wrong.items()),
            ", ".join(f"the {band} {INSTEAD.get(seen, DOES[seen])}" for band, seen in wrong.items()))


def handovers(column):
    """The count, noted with the machine's load where it is short of all."""
    text = (column.get(HANDOVERS) or ["not counted"])[0]
    match = re.fullmatch(r"(\d+) of (\d+)", text)
    if not match:
        return NO, "", f"drags: {text}", "drags not counted"
    taken, made = int(match[1]), int(match[2])
    mark = YES if taken == made else NO if taken == 0 else PART
    if taken == made:
        return mark, str(taken), None, None
    return (mark, str(taken),
            f"{taken} of {made} strip drags moved the window; {load_text(column)}",
            f"{taken} of {made} drags taken over")


def key(column, name):
    lines = column.get(name, [])
    label = KEYS[name]
    logged = any(line.split(" ")[0] == label for line in lines)
    did = outcome(lines)
    done = did in (("hidden", "off the screen") if name == "N"
                   else ("moved", "resized", "moved and resized"))
    if logged and done:
        return YES, "", None, None
    if logged:
        return (PART, "", f"{name}: logs {label}, but the window {DOES[did]}",
                f"{name} is logged but the window {DOES[did]}")
    if done:
        return (PART, "", f"{name}: the window {DOES[did]}, but no {label} is logged",
                f"{name} is not logged")
    return (NO, "", f"{name}: nothing is logged and the window {DOES[did]}",
            f"{name} does nothing")


def start(column):
    placed = PLACED.get(" ".join(column.get(PATH, [])), [])
    extra = [line for line in column.get(START, []) if line not in placed]
    if not extra:
        return YES, "", None, None
    note = f"start: logs {', '.join(extra)}"
    if any(line.startswith("RESIZED") for line in extra):
        return NO, "", note, "the window starts at another size"
    return PART, "", note, f"the start logs {', '.join(line.split(' ')[0] for line in extra)}"


# The day's-use rows (desktop.day), in the words of the cells.
OUT_OF_MAXIMISED = "strip from maximised"
EDGES = ["strip to the top edge", "strip to the left edge", "strip to the right edge",
         "strip to the top-left corner"]
TILES = ("maximised", "left half", "right half", "top-left quarter")
# No answer: the desktop or the driver does not offer it, or the session
# that asks has not run there yet.
NOT_TRIED = "–"


def from_behind(column):
    lines = column.get(BEHIND)
    did = outcome(lines) if lines else "not tried"
    if did.startswith("not tried"):
        return NOT_TRIED, "", None, None
    if did == "moved":
        return YES, "", None, None
    return (NO, "", f"strip from behind: the window {DOES.get(did, did)}",
            "the strip does nothing while another window has the focus")


def pointer_shape(column):
    lines = column.get(SHAPES)
    said = outcome(lines) if lines else "not told"
    if said.startswith("not told"):
        return NOT_TRIED, "", None, None
    if said == "every region as named":
        return YES, "", None, None
    wrong = said.count("(")
    mark = NO if wrong == len(lines) - 1 else PART
    return mark, "", f"pointer: {said}", "the pointer's shape is not as named over some regions"


def day_cell(lines):
    """(what the window did, what the desktop's own title bar did or None,
    the pointer's line or None, what the band did after or None)."""
    arrows = [line[2:] for line in lines if line.startswith("→ ")]

    def after(prefix):
        return next((arrow[len(prefix):] for arrow in arrows if arrow.startswith(prefix)), None)
    return (arrows[0] if arrows else "not seen", after("own title bar: "), after("pointer "),
            after("then the bottom-right band: "))


def out_of_maximised(column):
    lines = column.get(OUT_OF_MAXIMISED)
    if not lines:
        return NOT_TRIED, "", None, None
    did, own, pointer, band = day_cell(lines)
    if did.startswith("not tried"):
        return NOT_TRIED, "", None, None
    if did == "unchanged" and own == "unchanged":
        return NOT_TRIED, "not offered", None, None
    told = any(line.split(" ")[0] == "RESTORED" for line in lines)
    if did == "restored" and told and pointer.startswith("on") and band.startswith("resized"):
        return YES, "", None, None
    if did == "restored":
        wrong = [what for what, bad in (("no RESTORED is logged", not told),
                                        (f"the pointer is {pointer}", not pointer.startswith("on")),
                                        (f"the bottom-right band then: {band}",
                                         not (band or "").startswith("resized"))) if bad]
        return (PART, "", "strip from maximised: restored, but " + "; ".join(wrong),
                "out of maximised, " + "; ".join(wrong))
    own_words = f", where its own title bar: {own}" if own else ""
    does = {"unchanged": "does not change", "moved": "only moves"}.get(did, f"is {did}")
    return (NO, "", f"strip from maximised: the window {does}{own_words}",
            "a drag of the strip does not take the maximised window out")


def to_the_edges(column):
    cells = {edge: column.get(edge) for edge in EDGES}
    if not any(cells.values()):
        return NOT_TRIED, "", None, None
    seen = {edge: day_cell(lines or []) for edge, lines in cells.items()}
    shown = "tiles" if any(did in TILES for did, *_ in seen.values()) else "moves"
    unlike = [f"{edge[9:]}: {did}, its own title bar: {own}"
              for edge, (did, own, _, _) in seen.items() if own and own != did]
    stuck = [f"{edge[9:]}: then the bottom-right band: {band}"
             for edge, (_, _, _, band) in seen.items() if band and not band.startswith("resized")]
    if unlike:
        return (NO, shown, "strip to the edges: " + "; ".join(unlike),
                "a drag of the strip to an edge does not do what the title bar's does")
    if stuck:
        return (PART, shown, "strip to the edges: " + "; ".join(stuck),
                "a band does not resize the window after a drag to an edge")
    return YES, shown, None, None


# The desktop's own keys' rows, and the frame tried after them.
DESKTOP_KEYS = "keys: "
AFTER_KEYS_STRIP, AFTER_KEYS_BAND = "keys, then the strip", "keys, then the bottom-right band"


def desktop_keys(column):
    seen = {row[len(DESKTOP_KEYS):]: day_cell(lines) for row, lines in column.items()
            if row.startswith(DESKTOP_KEYS) and lines and not lines[0].startswith("→ not tried")}
    if not seen:
        return NOT_TRIED, "", None, None
    acted = sum(did not in ("unchanged", "not seen") and not did.startswith("failed")
                for did, *_ in seen.values())
    shown = f"{acted} of {len(seen)} act"
    unlike = [f"{key}: {did}, its own title bar: {own}"
              for key, (did, own, _, _) in seen.items() if own and own != did]
    if unlike:
        return (NO, shown, "desktop keys: " + "; ".join(unlike),
                "a desktop key does not do to the window what it does to others")
    strip = outcome(column.get(AFTER_KEYS_STRIP, []))
    band = outcome(column.get(AFTER_KEYS_BAND, []))
    stuck = [f"{what}: the window {DOES.get(did, did)}" for what, did, wanted in
             (("the strip", strip, ("moved", "moved and resized")),
              ("the bottom-right band", band, ("resized",)))
             if did not in wanted and did != "not seen" and not did.startswith("not tried")]
    if stuck:
        return (PART, shown, "after the desktop keys, " + "; ".join(stuck),
                "after the desktop keys the frame does not work in part")
    return YES, shown, None, None


QUESTIONS = ["strip moves", "bands resize as named", "drags taken over", *KEYS, "start",
             "from behind", "pointer shape", "out of maximised", "to the edges", "desktop keys"]


# The questions without which a custom frame does not work at all.
FRAME = ["strip moves", "bands resize as named", "drags taken over"]


def answers(column):
    """(mark, text beside the mark, note or None, the verdict's words or
    None) for each of QUESTIONS."""
    return [strip(column), bands(column), handovers(column),
            *(key(column, name) for name in KEYS), start(column), from_behind(column),
            pointer_shape(column), out_of_maximised(column), to_the_edges(column),
            desktop_keys(column)]


def verdict(column):
    """One line an app author can act on: "works", "works, except: ...",
    or, where the strip, every band or every drag fails, "the frame does
    not work: ..."."""
    found = dict(zip(QUESTIONS, answers(column)))
    words = [answer[3] for answer in found.values() if answer[3]]
    if not words:
        return "works"
    if any(found[question][0] == NO for question in FRAME):
        return "the frame does not work: " + "; ".join(words)
    return "works, except: " + "; ".join(words)
