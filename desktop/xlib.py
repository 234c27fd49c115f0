"""The few Xlib calls the X11 desktop makes itself, where no command-line
tool does the same: a client message from another client's window, and a
request only the window manager answers."""

import ctypes
from ctypes import POINTER, c_char_p, c_int, c_long, c_uint, c_ulong, c_void_p

from .base import wait_until

CONFIGURE_NOTIFY = 22
CLIENT_MESSAGE = 33
STRUCTURE_NOTIFY_MASK = 1 << 17


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int),
                ("display", c_void_p), ("window", c_ulong), ("message_type", c_ulong),
                ("format", c_int), ("data", c_long * 5)]


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
}


def load():
    xlib = ctypes.CDLL("libX11.so.6")
    for name, (result, arguments) in SIGNATURES.items():
        function = getattr(xlib, name)
        function.restype, function.argtypes = result, arguments
    return xlib


def open_display(xlib, display_name):
    display = xlib.XOpenDisplay(display_name.encode())
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
