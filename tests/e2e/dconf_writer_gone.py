#!/usr/bin/python3
"""Holds dconf's bus name on the session bus and answers nothing, as if
dconf's writer had gone and could not start again: every write of a dconf
client fails, while reads (straight from the database file) still work.

    dconf_writer_gone.py
"""
from gi.repository import Gio, GLib

loop = GLib.MainLoop()
Gio.bus_own_name(Gio.BusType.SESSION, "ca.desrt.dconf", Gio.BusNameOwnerFlags.NONE,
                 None, None, lambda *_: loop.quit())
loop.run()
