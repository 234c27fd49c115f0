"""Prints the CTest entries of the desktops' tests, one CMake call a line,
from the driver's table of desktops: every desktop, or only those named.

    python3 tests/desktops.py [NAME...]

Each desktop runs the frame, keys and burst tests; the day's-use drags
and the desktop's own keys where its row says so, else in the soak (where
the desktop's own title bar or its traits say what they do); the guided
tour where its row says so, else in the soak (not where the desktop cannot
close the window, which the tour does); and on X11 the hand-over of a
press the window manager holds back; in the soak, the hundred hand-over
drags a person makes (e2e.soak.NAME). A desktop of the tier "frame", and a
scaled output, run the frame test alone. Labels: e2e, the family (x11 or
wayland), the release, and soak where ./test leaves the test out."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop import RECORDS, desktop_name, open_desktop  # noqa: E402
from desktop.record import Record  # noqa: E402


def entries(record: Record):
    """(test, arguments) of each CTest entry of a desktop."""
    if record.scale != 1:
        return [("frame", ["CASE", "Frame", "SERIAL"])]
    if record.tier == "frame":
        return [("frame", ["CASE", "Frame"])]
    tests = [("frame", ["CASE", "Frame"]), ("keys", ["CASE", "WindowKeys"]), ("burst", [])]
    # The day's-use drags and the desktop's own keys, where the desktop's
    # own title bar or its traits say what they do.
    desktop = open_desktop(record.name)
    where = [] if record.day else ["SOAK"]
    if record.path == "x11" or desktop.snaps is not None:
        tests.append(("frame", ["CASE", "DayOfUse", "AS", "day", *where]))
    if record.path == "x11" or desktop.desktop_keys is not None:
        tests.append(("keys", ["CASE", "DesktopKeys", "AS", "desktop_keys", *where]))
    if desktop.closes_windows:
        tests.append(("tour", [] if record.tour else ["SOAK"]))
    if record.path == "x11":
        tests.append(("handover", ["CASE", "PressHeldBack"]))
    tests.append(("handover", ["CASE", "HandOver", "AS", "soak", "SOAK"]))
    return tests


def calls(names):
    """The CMake calls for the desktops of those names, in the table's order."""
    records = [RECORDS[name] for name in names]
    lines = [f"window_test_release({release})"
             for release in dict.fromkeys(record.release for record in records) if release]
    for record in records:
        if record.tier == "matrix":
            continue
        common = ["DESKTOP", record.name, "FAMILY", "x11" if record.path == "x11" else "wayland"]
        if record.release:
            common += ["RELEASE", record.release]
        lock = open_desktop(record.name).exclusive
        if lock:
            common += ["LOCK", lock]
        for test, arguments in entries(record):
            if record.tier == "soak" and "SOAK" not in arguments:
                arguments = [*arguments, "SOAK"]
            lines.append(f"window_test_e2e({' '.join([test, *common, *arguments])})")
    return lines


def main(names):
    names = [desktop_name(name) for name in names]
    unknown = [name for name in names if name not in RECORDS]
    if unknown:
        sys.exit(f"unknown desktops: {' '.join(unknown)}")
    print("\n".join(calls(names or list(RECORDS))))


if __name__ == "__main__":
    main(sys.argv[1:])
