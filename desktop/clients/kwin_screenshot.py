#!/usr/bin/python3
"""A rectangle of KWin's screen as a PNG file, through KWin's ScreenShot2
interface, which hands the pixels over a pipe (KWin 6 has no other):

    kwin_screenshot.py X Y WIDTH HEIGHT PATH

Run by Debian's own Python, for its GObject bindings: D-Bus passes the pipe
as a file descriptor, which gdbus cannot. KWin must run with
KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1."""

import os
import subprocess
import sys

from gi.repository import Gio, GLib

TIMEOUT_MS = 10000
# QImage's formats of four bytes a pixel, blue first in memory:
# RGB32, ARGB32, ARGB32_Premultiplied.
BGRA_FORMATS = {4, 5, 6}


def main():
    x, y, width, height = map(int, sys.argv[1:5])
    path = sys.argv[5]
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    read_fd, write_fd = os.pipe()
    # The list holds a copy of the pipe's end, closed with the list.
    handed = Gio.UnixFDList.new()
    handed.append(write_fd)
    os.close(write_fd)
    reply, _ = bus.call_with_unix_fd_list_sync(
        "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureArea",
        GLib.Variant("(iiuua{sv}h)", (x, y, width, height, {}, 0)),
        GLib.VariantType("(a{sv})"), Gio.DBusCallFlags.NONE, TIMEOUT_MS, handed, None)
    # KWin writes the pixels after its reply, and ends them by closing its
    # end, once no copy of it is left here.
    del handed
    with os.fdopen(read_fd, "rb") as pipe:
        data = pipe.read()
    info = reply.unpack()[0]
    if info["format"] not in BGRA_FORMATS:
        sys.exit(f"kwin_screenshot.py: KWin sent pixels of QImage format {info['format']}")
    # In device pixels: the rectangle times the output's scale.
    columns, rows, stride = info["width"], info["height"], info["stride"]
    pixels = b"".join(data[row * stride:row * stride + columns * 4] for row in range(rows))
    subprocess.run(["convert", "-size", f"{columns}x{rows}", "-depth", "8", "bgra:-",
                    "-alpha", "off", f"png:{path}"], input=pixels, check=True, timeout=30)


if __name__ == "__main__":
    main()
