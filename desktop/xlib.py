"""The few Xlib calls the X11 desktop makes itself, where no command-line
tool does the same: a client message from another client's window, a
request only the window manager answers, another client's window to take
the focus, the pointer's shape, whether a client holds the pointer, the
root window's colour, and the pointer left out of the screen's pixels."""

import contextlib
import ctypes
import os
from ctypes import (POINTER, c_char_p, c_int, c_long, c_short, c_uint, c_ulong, c_ushort,
                    c_void_p)

from .base import wait_until

CONFIGURE_NOTIFY = 22
GRAB_MODE_ASYNC = 1
ALREADY_GRABBED = 1
CLIENT_MESSAGE = 33
STRUCTURE_NOTIFY_MASK = 1 << 17
# Where the user asked for the window, which the window managers keep.
US_POSITION = 1 << 0
US_SIZE = 1 << 1


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int),
                ("display", c_void_p), ("window", c_ulong), ("message_type", c_ulong),
                ("format", c_int), ("data", c_long * 5)]


class SizeHints(ctypes.Structure):
    _fields_ = [("flags", c_long), *((name, c_int) for name in (
        "x", "y", "width", "height", "min_width", "min_height", "max_width", "max_height",
        "width_inc", "height_inc", "min_aspect_x", "min_aspect_y", "max_aspect_x",
        "max_aspect_y", "base_width", "base_height", "win_gravity"))]


class CursorImage(ctypes.Structure):
    _fields_ = [("x", c_short), ("y", c_short), ("width", c_ushort), ("height", c_ushort),
                ("xhot", c_ushort), ("yhot", c_ushort), ("cursor_serial", c_ulong),
                ("pixels", c_void_p), ("atom", c_ulong), ("name", c_char_p)]


class XEvent(ctypes.Union):
    # Xlib reads a whole event, whatever its kind.
    _fields_ = [("client", ClientMessage), ("pad", c_long * 24)]


SIGNATURES = {
    "XOpenDisplay": (c_void_p, [c_char_p]),
    "XDefaultRootWindow": (c_ulong, [c_void_p]),
    "XCreateSimpleWindow": (c_ulong, [c_void_p, c_ulong, c_int, c_int, c_uint, c_uint, c_uint,
                                      c_ulong, c_ulong]),
    "XDestroyWindow": (c_int, [c_void_p, c_ulong]),
    "XInternAtom": (c_ulong, [c_void_p, c_char_p, c_int]),
    "XSendEvent": (c_int, [c_void_p, c_ulong, c_int, c_long, POINTER(XEvent)]),
    "XSync": (c_int, [c_void_p, c_int]),
    "XSelectInput": (c_int, [c_void_p, c_ulong, c_long]),
    "XResizeWindow": (c_int, [c_void_p, c_ulong, c_uint, c_uint]),
    "XCheckTypedWindowEvent": (c_int, [c_void_p, c_ulong, c_int, POINTER(XEvent)]),
    "XCloseDisplay": (c_int, [c_void_p]),
    "XMapWindow": (c_int, [c_void_p, c_ulong]),
    "XStoreName": (c_int, [c_void_p, c_ulong, c_char_p]),
    "XSetWMNormalHints": (None, [c_void_p, c_ulong, POINTER(SizeHints)]),
    "XFree": (c_int, [c_void_p]),
    "XGrabPointer": (c_int, [c_void_p, c_ulong, c_int, c_uint, c_int, c_int, c_ulong, c_ulong,
                             c_ulong]),
    "XUngrabPointer": (c_int, [c_void_p, c_ulong]),
    "XSetWindowBackground": (c_int, [c_void_p, c_ulong, c_ulong]),
    "XClearWindow": (c_int, [c_void_p, c_ulong]),
}


def load():
    xlib = ctypes.CDLL("libX11.so.6")
    for name, (result, arguments) in SIGNATURES.items():
        function = getattr(xlib, name)
        function.restype, function.argtypes = result, arguments
    return xlib


def load_xfixes():
    xfixes = ctypes.CDLL("libXfixes.so.3")
    xfixes.XFixesGetCursorImage.restype = POINTER(CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [c_void_p]
    xfixes.XFixesQueryExtension.argtypes = [c_void_p, POINTER(c_int), POINTER(c_int)]
    xfixes.XFixesHideCursor.argtypes = [c_void_p, c_ulong]
    xfixes.XFixesShowCursor.argtypes = [c_void_p, c_ulong]
    return xfixes


def open_display(xlib, display_name, authority=None):
    # Xlib reads the cookie's file from the environment as it connects.
    before = os.environ.get("XAUTHORITY")
    if authority:
        os.environ["XAUTHORITY"] = authority
    try:
        display = xlib.XOpenDisplay(display_name.encode())
    finally:
        if authority and before is None:
            del os.environ["XAUTHORITY"]
        elif authority:
            os.environ["XAUTHORITY"] = before
    if not display:
        raise AssertionError(f"cannot open display {display_name}")
    return display


def drag_from_vanished_source(display_name, window, x=100, y=100):
    """Sends the window a drop position (XdndPosition) from a window that
    was created and destroyed just before, as from a program that ended
    mid-drag; the window answers it by sending to that window."""
    xlib = load()
    display = open_display(xlib, display_name)
    try:
        root = xlib.XDefaultRootWindow(display)
        source = xlib.XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0)
        xlib.XDestroyWindow(display, source)
        event = XEvent()
        message = event.client
        message.type, message.window, message.format = CLIENT_MESSAGE, window, 32
        message.message_type = xlib.XInternAtom(display, b"XdndPosition", 0)
        message.data[:] = [source, 0, (x << 16) | y, 0,
                           xlib.XInternAtom(display, b"XdndActionCopy", 0)]
        xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        xlib.XSync(display, 0)
    finally:
        xlib.XCloseDisplay(display)


def wait_for_window_manager(display_name, timeout):
    """Waits until the window manager has answered a resize of a window that
    is not shown: the X server hands it such a request of any child of the
    root, in turn with everything else it sends it, so by the answer the
    window manager has handled all that came before."""
    xlib = load()
    display = open_display(xlib, display_name)
    try:
        probe = xlib.XCreateSimpleWindow(display, xlib.XDefaultRootWindow(display), 0, 0, 1, 1,
                                         0, 0, 0)
        xlib.XSelectInput(display, probe, STRUCTURE_NOTIFY_MASK)
        xlib.XResizeWindow(display, probe, 2, 2)
        event = XEvent()
        wait_until(lambda: xlib.XCheckTypedWindowEvent(display, probe, CONFIGURE_NOTIFY,
                                                       ctypes.byref(event)),
                   timeout, "the window manager to answer a resize request")
    finally:
        xlib.XCloseDisplay(display)


class Bystander:
    """Another client's small window, shown where the user asked for it
    (x, y), for as long as the connection that made it is open."""

    def __init__(self, display_name, x, y, width=200, height=100):
        self._xlib = load()
        self._display = open_display(self._xlib, display_name)
        root = self._xlib.XDefaultRootWindow(self._display)
        self.window = self._xlib.XCreateSimpleWindow(self._display, root, x, y, width, height,
                                                     0, 0, 0xffffff)
        self._xlib.XStoreName(self._display, self.window, b"Bystander")
        hints = SizeHints(flags=US_POSITION | US_SIZE, x=x, y=y, width=width, height=height)
        self._xlib.XSetWMNormalHints(self._display, self.window, ctypes.byref(hints))
        self._xlib.XMapWindow(self._display, self.window)
        self._xlib.XSync(self._display, 0)

    def close(self):
        self._xlib.XCloseDisplay(self._display)


def cursor_name(display_name, authority=None):
    """The name of the pointer's current cursor, as the client that made it
    named it (a cursor theme's cursors carry their names), or "" for one
    without a name. authority: the file of the cookie the X server asks
    for, where it asks for one."""
    xlib, xfixes = load(), load_xfixes()
    display = open_display(xlib, display_name, authority)
    try:
        event_base, error_base = c_int(), c_int()
        if not xfixes.XFixesQueryExtension(display, ctypes.byref(event_base),
                                           ctypes.byref(error_base)):
            raise AssertionError("the X server has no XFIXES")
        image = xfixes.XFixesGetCursorImage(display)
        if not image:
            raise AssertionError("the X server gave no cursor image")
        name = (image.contents.name or b"").decode()
        xlib.XFree(image)
        return name
    finally:
        xlib.XCloseDisplay(display)


def pointer_held(display_name, authority=None):
    """Whether another client holds the pointer, as an open menu does: this
    client cannot take it then."""
    xlib = load()
    display = open_display(xlib, display_name, authority)
    try:
        root = xlib.XDefaultRootWindow(display)
        held = xlib.XGrabPointer(display, root, 0, 0, GRAB_MODE_ASYNC, GRAB_MODE_ASYNC, 0, 0,
                                 0) == ALREADY_GRABBED
        xlib.XUngrabPointer(display, 0)
        xlib.XSync(display, 0)
        return held
    finally:
        xlib.XCloseDisplay(display)


def set_background(display_name, pixel):
    """Gives the root window a colour of its own (0xRRGGBB), as a person's
    wallpaper does, where the window manager draws none."""
    xlib = load()
    display = open_display(xlib, display_name)
    try:
        root = xlib.XDefaultRootWindow(display)
        xlib.XSetWindowBackground(display, root, pixel)
        xlib.XClearWindow(display, root)
        xlib.XSync(display, 0)
    finally:
        xlib.XCloseDisplay(display)


@contextlib.contextmanager
def cursor_hidden(display_name):
    """The pointer left out of the screen's pixels while the body runs (an
    X server without a graphics card draws it into them), for as long as
    this client asks."""
    xlib, xfixes = load(), load_xfixes()
    display = open_display(xlib, display_name)
    try:
        root = xlib.XDefaultRootWindow(display)
        xfixes.XFixesHideCursor(display, root)
        xlib.XSync(display, 0)
        yield
        xfixes.XFixesShowCursor(display, root)
        xlib.XSync(display, 0)
    finally:
        xlib.XCloseDisplay(display)
