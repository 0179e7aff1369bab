#!/usr/bin/python3
"""Another X client asking for the input, for the end-to-end tests.

    grabber.py repeat LOG
        A small ordinary window of its own; every 2 s asks for the keyboard
        and the pointer for it (as a VM viewer or a game does), holding them
        for 0.1 s when it gets them. Appends "got" or "refused" to LOG.
    grabber.py once root|cover LOG
        One locking attempt with no other sign before it, as a screen locker
        makes: the keyboard first, then the pointer, for the root window or
        for a mapped override-redirect window over the whole screen, asked
        again every 20 ms for at most 1 s. Appends "grabbed" or "could not
        grab" to LOG and holds what it got until it is ended.
"""
import ctypes
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import Gdk, GdkX11, GLib, Gtk  # noqa: E402

# The core requests, as xscreensaver makes them: GDK will not grab for the
# root window.
xlib = ctypes.CDLL("libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XDefaultRootWindow.restype = ctypes.c_ulong
xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
xlib.XGrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                               ctypes.c_int, ctypes.c_ulong]
xlib.XGrabPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_int, ctypes.c_int, ctypes.c_ulong, ctypes.c_ulong,
                              ctypes.c_ulong]
xlib.XUngrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
xlib.XFlush.argtypes = [ctypes.c_void_p]
GRAB_SUCCESS, GRAB_MODE_ASYNC, CURRENT_TIME = 0, 1, 0


def seat():
    return Gdk.Display.get_default().get_default_seat()


def grab(window, capabilities):
    return seat().grab(window, capabilities, False, None, None, None, None) == Gdk.GrabStatus.SUCCESS


def repeat(log):
    window = Gtk.Window(title="grabber")
    window.resize(40, 40)
    window.move(700, 600)
    window.show_all()

    def ask():
        if grab(window.get_window(), Gdk.SeatCapabilities.ALL):
            log.write("got\n")
            GLib.timeout_add(100, lambda: seat().ungrab() or GLib.SOURCE_REMOVE)
        else:
            log.write("refused\n")
        return GLib.SOURCE_CONTINUE

    GLib.timeout_add(2000, ask)
    log.write("ready\n")
    Gtk.main()


def once(where, log):
    x = xlib.XOpenDisplay(None)
    if where == "root":
        target = xlib.XDefaultRootWindow(x)
    else:
        cover = Gtk.Window(type=Gtk.WindowType.POPUP)
        area = Gdk.Display.get_default().get_monitor(0).get_geometry()
        cover.move(area.x, area.y)
        cover.resize(area.width, area.height)
        cover.show_all()
        Gdk.Display.get_default().sync()
        target = GdkX11.X11Window.get_xid(cover.get_window())
    tries = [0]

    def attempt():
        tries[0] += 1
        if xlib.XGrabKeyboard(x, target, 0, GRAB_MODE_ASYNC, GRAB_MODE_ASYNC,
                              CURRENT_TIME) == GRAB_SUCCESS:
            if xlib.XGrabPointer(x, target, 0, 0, GRAB_MODE_ASYNC, GRAB_MODE_ASYNC, 0, 0,
                                 CURRENT_TIME) == GRAB_SUCCESS:
                log.write("grabbed\n")
                return GLib.SOURCE_REMOVE
            xlib.XUngrabKeyboard(x, CURRENT_TIME)
            xlib.XFlush(x)
        if tries[0] >= 50:
            log.write("could not grab\n")
            return GLib.SOURCE_REMOVE
        return GLib.SOURCE_CONTINUE

    GLib.timeout_add(20, attempt)
    Gtk.main()


if __name__ == "__main__":
    Gtk.init(None)
    if sys.argv[1] == "repeat":
        repeat(open(sys.argv[2], "a", buffering=1))
    else:
        once(sys.argv[2], open(sys.argv[3], "a", buffering=1))
