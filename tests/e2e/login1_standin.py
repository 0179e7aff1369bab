#!/usr/bin/python3
"""A stand-in for logind (org.freedesktop.login1) on a private system bus, for
the end-to-end tests: a real D-Bus service that records what it is asked.

    login1_standin.py LOG

Connects to the bus that DBUS_SYSTEM_BUS_ADDRESS names and owns
org.freedesktop.login1. Each line it appends to LOG:
    inhibit WHAT|WHO|WHY|MODE   an Inhibit call, answered with one end of a pipe
    released N                  every copy of inhibitor N's end has been closed
    session PID                 GetSessionByPID(PID)
    session-id ID               GetSession(ID), answered with .../session/ID
    user UID                    GetUser(UID); the user's Display is the session that
                                LOGIN1_DISPLAY_SESSION names, none when it is unset
Test hooks (interface org.hushpad.TestHooks on /org/freedesktop/login1):
    EmitLock()                  the session's Lock signal, as `loginctl lock-session`
    EmitLockOn(o)               the same from another session object
    EmitPrepareForSleep(b)      the manager's PrepareForSleep signal
"""
import os
import sys

from gi.repository import Gio, GLib

SESSION_PATH = "/org/freedesktop/login1/session/_31"
SESSIONS = "/org/freedesktop/login1/session/"
USER_PATH = "/org/freedesktop/login1/user/_0"
DISPLAY_SESSION = os.environ.get("LOGIN1_DISPLAY_SESSION", "")
INTROSPECTION = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="org.freedesktop.login1.Manager">
    <method name="Inhibit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="h" direction="out"/>
    </method>
    <method name="GetSessionByPID">
      <arg type="u" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="GetSession">
      <arg type="s" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="GetUser">
      <arg type="u" direction="in"/><arg type="o" direction="out"/>
    </method>
    <signal name="PrepareForSleep"><arg type="b"/></signal>
  </interface>
  <interface name="org.freedesktop.login1.Session">
    <signal name="Lock"/>
  </interface>
  <interface name="org.freedesktop.login1.User">
    <property name="Display" type="(so)" access="read"/>
  </interface>
  <interface name="org.hushpad.TestHooks">
    <method name="EmitLock"/>
    <method name="EmitLockOn"><arg type="o" direction="in"/></method>
    <method name="EmitPrepareForSleep"><arg type="b" direction="in"/></method>
  </interface>
</node>""")


def main():
    log = open(sys.argv[1], "a", buffering=1)
    bus = Gio.bus_get_sync(Gio.BusType.SYSTEM, None)
    inhibitors = []

    def on_released(fd, _condition, number):
        log.write("released %d\n" % number)
        os.close(fd)
        return GLib.SOURCE_REMOVE

    def on_call(connection, _sender, _path, interface, method, args, invocation):
        if method == "Inhibit":
            log.write("inhibit %s\n" % "|".join(args.unpack()))
            read_end, write_end = os.pipe()
            number = len(inhibitors) + 1
            inhibitors.append(read_end)
            GLib.unix_fd_add_full(GLib.PRIORITY_DEFAULT, read_end, GLib.IOCondition.HUP,
                                  on_released, number)
            fds = Gio.UnixFDList.new_from_array([write_end])  # takes the end over
            invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), fds)
        elif method == "GetSessionByPID":
            log.write("session %d\n" % args.unpack()[0])
            invocation.return_value(GLib.Variant("(o)", (SESSION_PATH,)))
        elif method == "GetSession":
            log.write("session-id %s\n" % args.unpack()[0])
            invocation.return_value(GLib.Variant("(o)", (SESSIONS + args.unpack()[0],)))
        elif method == "GetUser":
            log.write("user %d\n" % args.unpack()[0])
            invocation.return_value(GLib.Variant("(o)", (USER_PATH,)))
        elif method == "EmitLockOn":
            connection.emit_signal(None, args.unpack()[0], "org.freedesktop.login1.Session",
                                   "Lock", None)
            invocation.return_value(None)
        elif method == "EmitLock":
            connection.emit_signal(None, SESSION_PATH, "org.freedesktop.login1.Session", "Lock",
                                   None)
            invocation.return_value(None)
        elif method == "EmitPrepareForSleep":
            connection.emit_signal(None, "/org/freedesktop/login1",
                                   "org.freedesktop.login1.Manager", "PrepareForSleep", args)
            invocation.return_value(None)

    def user_display(*_):
        path = SESSIONS + DISPLAY_SESSION if DISPLAY_SESSION else "/"
        return GLib.Variant("(so)", (DISPLAY_SESSION, path))

    for interface in INTROSPECTION.interfaces:
        if interface.name.endswith(".User"):
            bus.register_object(USER_PATH, interface, on_call, user_display, None)
            continue
        path = SESSION_PATH if interface.name.endswith(".Session") else "/org/freedesktop/login1"
        bus.register_object(path, interface, on_call, None, None)
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.login1", Gio.BusNameOwnerFlags.NONE,
                                   None, lambda *_: sys.exit("the name is taken"))
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
