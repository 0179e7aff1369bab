#!/usr/bin/python3
"""The checks of test_gnome_shell.sh, run inside its session.

    shell_checks.py WORK

Watches the session bus (a monitor connection) for the talk between Hushpad
and its extension, drives the input through Mutter's RemoteDesktop, takes
screenshots as org.gnome.Screenshot, and reads wev's log. Every wait has a
deadline; the program's pid is in WORK/hushpad.pid once it is started.
"""
import os
import signal
import subprocess
import sys
import threading
import time

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, Gio, GLib  # noqa: E402

WORK = sys.argv[1]
PROGRAM = "app.hushpad.Hushpad.Program1"
EXTENSION = "app.hushpad.Hushpad.Extension1"
UUID = "hushpad-gnome43@hushpad.app"
WIDTH, HEIGHT = 1280, 800  # the virtual monitor
KEY_ESC, KEY_A, KEY_TAB, KEY_LEFTALT, KEY_LEFTMETA, KEY_VOLUMEUP = 1, 30, 15, 56, 125, 115
BTN_LEFT, BTN_RIGHT = 0x110, 0x111
TOUCHPAD = "org.gnome.desktop.peripherals.touchpad"
BACKUP = os.path.join(WORK, "config/hushpad/TrackpadGestureLock.backup.v1.data")
figures = {}


MONITOR = None


def dump():
    """The talk between program and extension, into WORK/link.log."""
    if MONITOR is None:
        return
    with MONITOR.lock, open(os.path.join(WORK, "link.log"), "w") as log:
        start = MONITOR.messages[0]["time"] if MONITOR.messages else 0
        calls = {(c["sender"], c["serial"]) for c in MONITOR.messages
                 if (c["interface"] or "").startswith("app.hushpad")}
        for m in MONITOR.messages:
            if (m["interface"] or "").startswith("app.hushpad") or (
                    m["destination"], m["reply"]) in calls:
                log.write(f"{m['time'] - start:9.3f} {m['type'].value_nick} {m['sender']} -> "
                          f"{m['destination']} {m['member'] or m['reply']} "
                          f"{str(m['body'])[:120]}\n")


def leave(status):
    """Ends at once: the monitor's filter handed GLib messages back that Python
    would release a second time on the way out."""
    sys.stdout.flush()
    sys.stderr.flush()
    os._exit(status)


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr, flush=True)
    dump()
    leave(1)


def step(message):
    print(f"== {message}", flush=True)


def wait_until(seconds, what, condition):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            fail(f"timed out after {seconds}s waiting for {what}")
        time.sleep(0.02)


class Monitor:
    """Every message on the session bus, as (time, message) pairs."""

    def __init__(self):
        address = os.environ["DBUS_SESSION_BUS_ADDRESS"]
        self.connection = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
            Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        self.lock = threading.Lock()
        self.messages = []
        self.kept = []
        self.connection.add_filter(self.record)
        self.connection.call_sync(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.Monitoring",
            "BecomeMonitor", GLib.Variant("(asu)", ([], 0)), None, 0, -1, None)

    # A message a Python filter hands back loses a reference on the way: the
    # few that pass are kept for the life of the process.
    def passed(self, message):
        self.kept.append(message)
        return message

    def record(self, _connection, message, incoming):
        if not incoming:
            return self.passed(message)
        body = message.get_body()
        entry = {"time": time.monotonic(), "type": message.get_message_type(),
                 "sender": message.get_sender(), "destination": message.get_destination(),
                 "interface": message.get_interface(), "member": message.get_member(),
                 "serial": message.get_serial(), "reply": message.get_reply_serial(),
                 "body": body.unpack() if body is not None else ()}
        with self.lock:
            self.messages.append(entry)
        # The bus's own answer to BecomeMonitor is this connection's; the rest
        # is only watched (a monitor that answered a call would be dropped).
        if (entry["sender"] == "org.freedesktop.DBus"
                and entry["destination"] == self.connection.get_unique_name()):
            return self.passed(message)
        return None

    def mark(self):
        with self.lock:
            return len(self.messages)

    def calls(self, interface, member, since=0):
        with self.lock:
            return [m for m in self.messages[since:] if m["type"] == Gio.DBusMessageType.METHOD_CALL
                    and m["interface"] == interface and m["member"] == member]

    def reply_to(self, call):
        with self.lock:
            for m in self.messages:
                if m["reply"] == call["serial"] and m["destination"] == call["sender"]:
                    return m
        return None

    def wait_call(self, seconds, interface, member, since=0, what=None):
        return wait_until(seconds, what or f"{member}", lambda: self.calls(interface, member, since))[-1]


class Session:
    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "RequestName", GLib.Variant("(su)", ("org.gnome.Screenshot", 4)),
                           None, 0, -1, None)
        path = self.call("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                         "org.gnome.Mutter.RemoteDesktop", "CreateSession")[0]
        self.rd = lambda method, *args: self.call(
            "org.gnome.Mutter.RemoteDesktop", path, "org.gnome.Mutter.RemoteDesktop.Session",
            method, *args)
        self.rd("Start")
        self.x, self.y = 0.0, 0.0
        self.shot = 0

    def call(self, name, path, interface, method, signature=None, *args):
        parameters = GLib.Variant(signature, args) if signature else None
        reply = self.bus.call_sync(name, path, interface, method, parameters, None, 0, 10000, None)
        return reply.unpack() if reply is not None else ()

    def key(self, code, pressed):
        self.rd("NotifyKeyboardKeycode", "(ub)", code, pressed)

    def tap(self, *codes):
        for code in codes:
            self.key(code, True)
        for code in reversed(codes):
            self.key(code, False)

    def button(self, code, pressed):
        self.rd("NotifyPointerButton", "(ib)", code, pressed)

    def click(self, code=BTN_LEFT):
        self.button(code, True)
        self.button(code, False)

    def scroll(self, steps):
        self.rd("NotifyPointerAxisDiscrete", "(ui)", 0, steps)

    # Relative motion is 1:1: from the bottom-right corner (where a long move
    # ends) the pointer goes anywhere exactly. Not from the top left: the hot
    # corner's barriers hold the pointer there while the Shell's actions are off.
    def move_to(self, x, y):
        self.rd("NotifyPointerMotionRelative", "(dd)", 5000.0, 5000.0)
        self.rd("NotifyPointerMotionRelative", "(dd)", float(x - (WIDTH - 1)),
                float(y - (HEIGHT - 1)))
        self.x, self.y = x, y

    def screenshot(self, name):
        path = os.path.join(WORK, f"{name}.png")
        ok, _ = self.call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                          "org.gnome.Shell.Screenshot", "Screenshot", "(bbs)", False, False, path)
        if not ok:
            fail(f"the screenshot {name} failed")
        return GdkPixbuf.Pixbuf.new_from_file(path)

    def shell_property(self, name):
        return self.call("org.gnome.Shell", "/org/gnome/Shell", "org.freedesktop.DBus.Properties",
                         "Get", "(ss)", "org.gnome.Shell", name)[0]


def brightest(pixbuf, x, y, width, height):
    """The brightest pixel (0-255, the mean of R, G, B) in the rectangle."""
    pixels = pixbuf.get_pixels()
    stride, channels = pixbuf.get_rowstride(), pixbuf.get_n_channels()
    best = 0
    for row in range(max(0, int(y)), min(pixbuf.get_height(), int(y + height))):
        for column in range(max(0, int(x)), min(pixbuf.get_width(), int(x + width))):
            i = row * stride + column * channels
            best = max(best, (pixels[i] + pixels[i + 1] + pixels[i + 2]) // 3)
    return best


def wev_events():
    with open(os.path.join(WORK, "wev.log"), errors="replace") as log:
        return [line for line in log if "] key:" in line or "] button:" in line
                or "] axis" in line]


def touchpad():
    return subprocess.run(["gsettings", "list-recursively", TOUCHPAD], capture_output=True,
                          text=True, check=True).stdout


def restored(before):
    now = touchpad()
    if now == before and not os.path.exists(BACKUP):
        return True
    restored.last = (sorted(set(now.splitlines()) ^ set(before.splitlines())),
                     os.path.exists(BACKUP))
    print(f"   not yet restored: {restored.last}", flush=True)
    return False


def main():
    global MONITOR
    monitor = MONITOR = Monitor()
    session = Session()
    # The virtual keyboard is there after its first key. wev learns of a
    # pointer only if the seat has one when it starts.
    session.tap(KEY_LEFTALT)
    session.move_to(1, 1)
    open(os.path.join(WORK, "watching"), "w").close()
    pid = int(wait_until(10, "the program's pid", lambda: open(
        os.path.join(WORK, "hushpad.pid")).read().strip() if os.path.exists(
        os.path.join(WORK, "hushpad.pid")) else None))

    step("the program links with the extension and the item shows in the top bar")
    hello = monitor.wait_call(15, PROGRAM, "Hello", what="the extension's Hello to the program")
    monitor.wait_call(10, EXTENSION, "SetItem", what="the program's item")
    # The RemoteDesktop session's indicator moved the items: the frame that counts is the last.
    frames = [c["body"][0] for c in monitor.calls(PROGRAM, "ItemFrame")] or [hello["body"][2]]
    item = frames[-1]

    def item_drawn():
        shot = session.screenshot("item")
        frame = ([c["body"][0] for c in monitor.calls(PROGRAM, "ItemFrame")] or [item])[-1]
        return frame if brightest(shot, *frame) > 200 else None
    item = wait_until(10, "the white mark in the item's frame", item_drawn)
    print(f"   item at {item}")
    baseline_rss = int([line.split()[1] for line in open(f"/proc/{pid}/status")
                        if line.startswith("VmRSS")][0])
    figures["program idle RSS (kB)"] = baseline_rss
    shell_pid = int(open(os.path.join(WORK, "shell.pid")).read())
    figures["GNOME Shell RSS (kB)"] = int([line.split()[1] for line in open(
        f"/proc/{shell_pid}/status") if line.startswith("VmRSS")][0])

    step("before the lock, wev gets keys and clicks")
    # The Shell starts in the overview.
    session.call("org.gnome.Shell", "/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Set",
                 "(ssv)", "org.gnome.Shell", "OverviewActive", GLib.Variant("b", False))
    wait_until(10, "the overview to close", lambda: not session.shell_property("OverviewActive"))
    # Until the overview's closing animation is over, clicks go to the Shell.
    def wev_answers():
        session.move_to(640, 430)
        session.click()
        session.tap(KEY_A)
        time.sleep(0.1)
        return (any("] key:" in e for e in wev_events())
                and any("] button:" in e for e in wev_events()))
    wait_until(10, "wev to log a key and a click", wev_answers)
    settings_before = touchpad()

    def lock(what):
        since = monitor.mark()
        session.move_to(item[0] + item[2] / 2, item[1] + item[3] / 2)
        session.click()
        released = monitor.wait_call(10, PROGRAM, "ItemReleased", since, "the click on the item")
        call = monitor.wait_call(10, EXTENSION, "Lock", since, f"the program to lock ({what})")
        reply = wait_until(5, "the Lock answer", lambda: monitor.reply_to(call))
        if not reply["body"] or not reply["body"][0]:
            fail(f"the extension did not take the input ({what}): {reply}")
        # Off the item and the mark, where a release unlocks.
        session.move_to(640, 430)
        return reply["time"] - released["time"]

    step("a click on the item locks")
    ms = lock("first lock") * 1000
    figures["click to locked (ms)"] = round(ms, 1)
    wait_until(5, "the backup of the settings", lambda: os.path.exists(BACKUP))

    def sync():
        """Everything sent before has reached the Shell: a release on the cover
        comes back after it."""
        since = monitor.mark()
        session.click(BTN_RIGHT)
        return monitor.wait_call(10, PROGRAM, "CoverReleased", since, "the cover's release")

    step("keys, clicks, scrolls, Super, Alt+Tab and a media key reach nothing")
    before = len(wev_events())
    session.move_to(640, 430)
    session.tap(KEY_A)
    session.click()
    session.scroll(3)
    session.tap(KEY_LEFTMETA)
    session.tap(KEY_LEFTALT, KEY_TAB)
    session.tap(KEY_VOLUMEUP)
    sync()
    if len(wev_events()) != before:
        fail(f"wev got input while locked: {wev_events()[before:]}")
    if session.shell_property("OverviewActive"):
        fail("Super opened the overview while locked")

    step("the pointer moves")
    session.move_to(300, 500)
    first = sync()["body"]
    session.rd("NotifyPointerMotionRelative", "(dd)", 120.0, -40.0)
    second = sync()["body"]
    if (round(second[1] - first[1]), round(second[2] - first[2])) != (120, -40):
        fail(f"the pointer did not move as asked: {first} then {second}")

    step("the mark shows where the core placed it")
    shown = monitor.wait_call(10, EXTENSION, "ShowMark", 0, "the program to show the mark")
    mx, my, mw, mh = shown["body"][0]
    session.move_to(1200, 700)  # away from the mark

    def mark_drawn():
        shot = session.screenshot("mark")
        return shot if brightest(shot, mx + mw * 0.25, my + mh * 0.25, mw / 2, mh / 2) > 200 else None
    shot = wait_until(10, "the mark in a screenshot", mark_drawn)
    if brightest(shot, mx + mw + 30, my + mh + 30, mw, mh) > 200 and my + mh + 30 < 800:
        fail("something white is drawn where the mark is not")
    print(f"   mark at {(mx, my, mw, mh)}")

    step("a release 13 px beside the mark stays locked")
    since = monitor.mark()
    session.move_to(mx + mw + 13, my + mh / 2)
    session.click()
    monitor.wait_call(10, PROGRAM, "CoverReleased", since, "the release beside the mark")
    # The program answers the watchdog's next Ping from its main loop, after the release.
    ping = monitor.wait_call(5, PROGRAM, "Ping", monitor.mark(), "the next Ping")
    wait_until(5, "the program's answer to the Ping", lambda: monitor.reply_to(ping))
    if monitor.calls(EXTENSION, "Unlock", since):
        fail("a release 13 px beside the mark unlocked")

    step("a click on the mark unlocks")
    since = monitor.mark()
    session.move_to(mx + mw / 2, my + mh / 2)
    session.click()
    monitor.wait_call(10, EXTENSION, "Unlock", since, "the unlock")
    wait_until(5, "the settings restored", lambda: touchpad() == settings_before
               and not os.path.exists(BACKUP))
    session.move_to(640, 430)
    session.click()
    before = len(wev_events())
    session.tap(KEY_A)
    wait_until(10, "wev to get keys again", lambda: len(wev_events()) > before)

    step("hushpad --lock from another process locks, hushpad --unlock unlocks")
    since = monitor.mark()
    command = subprocess.run([os.environ["HUSHPAD"], "--lock"], capture_output=True, text=True,
                             timeout=30)
    if command.returncode != 0:
        fail(f"--lock: status {command.returncode}, said {command.stderr!r}")
    monitor.wait_call(10, EXTENSION, "Lock", since, "the lock from --lock")
    since = monitor.mark()
    command = subprocess.run([os.environ["HUSHPAD"], "--unlock"], capture_output=True, text=True,
                             timeout=30)
    if command.returncode != 0:
        fail(f"--unlock: status {command.returncode}, said {command.stderr!r}")
    monitor.wait_call(10, EXTENSION, "Unlock", since, "the unlock from --unlock")
    wait_until(5, "the settings restored after --unlock",
               lambda: touchpad() == settings_before and not os.path.exists(BACKUP))

    step("a right click on the item opens the menu: Lock Now, Start at Login (unchecked), Quit Hushpad")
    since = monitor.mark()
    session.move_to(item[0] + item[2] / 2, item[1] + item[3] / 2)
    session.click(BTN_RIGHT)
    entries = monitor.wait_call(10, EXTENSION, "OpenMenu", since, "the menu")["body"][0]
    shown = [tuple(e) for e in entries if e[0]]
    if shown != [("Lock Now", False, False), ("Start at Login", True, False),
                 ("Quit Hushpad", False, False)]:
        fail(f"the menu holds {entries}")
    if monitor.calls(EXTENSION, "Lock", since):
        fail("a right click on the item locked")
    session.tap(KEY_ESC)
    session.move_to(640, 430)
    session.click()

    step("ScreenSaver.Lock while locked: the shield takes the input, Hushpad holds it again after")
    lock("before the screen lock")
    since = monitor.mark()
    session.call("org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "Lock")
    letgo = monitor.wait_call(10, PROGRAM, "LetGo", since, "the extension to leave for the shield")
    if letgo["body"][0] != "screen-shield":
        fail(f"the extension left for {letgo['body']}")
    wait_until(10, "the screen to lock", lambda: session.call(
        "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "GetActive")[0])
    if not os.path.exists(BACKUP):
        fail("the lock ended when the screen locked")
    since = monitor.mark()
    session.call("org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver",
                 "SetActive", "(b)", False)
    monitor.wait_call(15, PROGRAM, "Hello", since, "the extension back after the unlock")
    call = monitor.wait_call(10, EXTENSION, "Lock", since, "the program to hold the input again")
    reply = wait_until(5, "the Lock answer", lambda: monitor.reply_to(call))
    if not reply["body"] or not reply["body"][0]:
        fail("the input was not held again after the screen lock")
    before = len(wev_events())
    session.tap(KEY_A)
    sync()
    if len(wev_events()) != before:
        fail("wev got a key after the screen lock, while Hushpad shows locked")

    step("kill -STOP of the program while locked frees the input within 6 s")
    os.kill(pid, signal.SIGSTOP)
    stopped = time.monotonic()
    before = len(wev_events())
    session.move_to(640, 430)

    def freed():
        session.tap(KEY_A)
        return len(wev_events()) > before
    wait_until(8, "the input to be free", freed)
    seconds = time.monotonic() - stopped
    figures["SIGSTOP to free input (s)"] = round(seconds, 2)
    if seconds > 6:
        fail(f"the input was free only after {seconds:.1f} s")
    os.kill(pid, signal.SIGCONT)
    wait_until(10, "the forced unlock to restore the settings", lambda: touchpad() == settings_before
               and not os.path.exists(BACKUP))

    step("the extension disabled while locked: the lock ends and the settings are restored")
    session.click()  # wev's focus back
    lock("before disabling the extension")
    wait_until(5, "the backup of the settings", lambda: os.path.exists(BACKUP))
    session.call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                 "DisableExtension", "(s)", UUID)
    wait_until(10, "the settings restored", lambda: restored(settings_before))
    if not os.path.exists(f"/proc/{pid}"):
        fail("the program ended")

    step("on GNOME Wayland without the extension, Hushpad says how to enable it")
    os.kill(pid, signal.SIGTERM)

    def ended():
        try:
            with open(f"/proc/{pid}/status") as status:
                return any(line.startswith("State:") and "Z" in line for line in status)
        except FileNotFoundError:
            return True
    wait_until(10, "the program to end", ended)
    started = subprocess.run([os.environ["HUSHPAD"]], capture_output=True, text=True, timeout=30)
    if started.returncode != 1 or f"gnome-extensions enable {UUID}\n" not in started.stderr \
            or "log out and in again" not in started.stderr:
        fail(f"without the extension: status {started.returncode}, said {started.stderr!r}")

    for name, value in figures.items():
        print(f"   {name}: {value}")
    dump()
    print("PASS", flush=True)


if __name__ == "__main__":
    try:
        main()
    except Exception as error:  # noqa: BLE001 - any failure is the test's
        import traceback
        traceback.print_exc()
        fail(f"the checks stopped: {error}")
    leave(0)
