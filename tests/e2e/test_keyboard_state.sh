#!/usr/bin/env bash
# The keyboard comes back as it was: the X server acts on Caps Lock, Num Lock
# and Shift pressed five times (sticky keys, with the keyboard accessibility
# shortcuts on) before any grab sees them, so a wipe under the lock changes
# them; the unlock puts them back, and typing reaches the client in lower case.
# With sticky keys on, a modifier pressed twice is locked: the unlock lets it
# go. A kill while locked leaves the keyboard as the wipe left it: the next
# start puts it back.
source "$(dirname "$0")/lib.sh"

indicator() { xset q | grep -oE "$1: +(on|off)" | awk '{print $NF}'; }
sticky_keys() { xkbset q | sed -n 's/^Sticky-Keys = //p'; }
keyboard_is() {  # keyboard_is CAPS NUM STICKY (on/off, on/off, On/Off)
  [[ "$(indicator 'Caps Lock') $(indicator 'Num Lock') $(sticky_keys)" == "$1 $2 $3" ]]
}
press() { local key; for key; do xdotool keydown "$key"; xdotool keyup "$key"; done; }
# The X server's locked modifiers, as a number (Lock 2, Control 4, Mod2/Num Lock 16).
locked_modifiers() {
  /usr/bin/python3 - <<'PY'
import ctypes
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
display = x.XOpenDisplay(None)
state = (ctypes.c_ubyte * 32)()  # XkbStateRec: locked_mods is its tenth byte
x.XkbGetState(ctypes.c_void_p(display), 0x100, ctypes.byref(state))
print(state[9])
PY
}
locked_modifiers_are() { [[ "$(locked_modifiers)" == "$1" ]]; }
# The state the client saw with its last "a".
state_of_a() { xev_since "$1" | grep -oE 'state 0x[0-9a-f]+, keycode [0-9]+ \(keysym 0x61, a\)' | tail -n 1 | cut -d, -f1; }

step "desktop: Xvfb, trayer, xev; keyboard accessibility shortcuts on, Num Lock on"
start_desktop
xkbset accessx
xdotool mousemove "$client_x" "$client_y"
press Num_Lock
wait_for 5 "Num Lock on, Caps Lock and sticky keys off" keyboard_is off on Off
start_hushpad

step "1. a wipe under the lock: Caps Lock, Num Lock, Shift five times"
lock
xdotool mousemove "$client_x" "$client_y"
press Caps_Lock Num_Lock Shift_L Shift_L Shift_L Shift_L Shift_L
wait_for 5 "the X server to have acted on the keys under the grab" keyboard_is on off On
echo "   while locked: Caps Lock $(indicator 'Caps Lock'), Num Lock $(indicator 'Num Lock')," \
  "sticky keys $(sticky_keys)"

step "2. the unlock puts the keyboard back as it was"
unlock
wait_for 5 "Caps Lock off, Num Lock on and sticky keys off again" keyboard_is off on Off

step "3. typing reaches the client in lower case"
mark=$(xev_lines)
xdotool mousemove "$client_x" "$client_y"
press a b
wait_for 5 "the client to receive b" client_got_key "$mark" b
typed=$(xev_since "$mark" | grep -A 2 '^KeyPress' | grep -oE 'keysym 0x[0-9a-f]+, [^)]+\)' || true)
[[ "$typed" == $'keysym 0x61, a)\nkeysym 0x62, b)' ]] || fail "the client received: $typed"

step "4. Caps Lock alone, sticky keys untouched: it comes back off too"
lock
xdotool mousemove "$client_x" "$client_y"
press Caps_Lock
wait_for 5 "Caps Lock on under the grab" keyboard_is on on Off
unlock
wait_for 5 "Caps Lock off again" keyboard_is off on Off

step "5. sticky keys on, Control pressed twice under the lock: it is let go at the unlock"
press Shift_L Shift_L Shift_L Shift_L Shift_L
wait_for 5 "sticky keys on" keyboard_is off on On
locked_modifiers_are 16 || fail "locked modifiers before the lock: $(locked_modifiers)"
lock
xdotool mousemove "$client_x" "$client_y"
press Control_L Control_L
wait_for 5 "Control locked under the grab" locked_modifiers_are 20
unlock
wait_for 5 "Control let go, Num Lock kept, Caps Lock off, sticky keys still on" \
  eval 'locked_modifiers_are 16 && keyboard_is off on On'
mark=$(xev_lines)
xdotool mousemove "$client_x" "$client_y"
press a
wait_for 5 "the client to receive a" client_got_key "$mark" a
[[ "$(state_of_a "$mark")" == "state 0x10" ]] || fail "a reached the client with $(state_of_a "$mark")"
# Sticky keys going off lets go of every locked modifier, Num Lock included.
xkbset -sticky
wait_for 5 "sticky keys off again" eval '[[ "$(sticky_keys)" == Off ]]'
[[ "$(indicator 'Num Lock')" == on ]] || press Num_Lock
wait_for 5 "Num Lock on, Caps Lock and sticky keys off" keyboard_is off on Off

step "6. killed while locked with Caps Lock on: the next start puts it back"
lock
xdotool mousemove "$client_x" "$client_y"
press Caps_Lock
wait_for 5 "Caps Lock on under the grab" keyboard_is on on Off
kill -9 "$hushpad_pid"
expect_exit 137
keyboard_is on on Off || fail "the kill alone changed the keyboard"
start_hushpad
wait_for 5 "Caps Lock off again after the restart" keyboard_is off on Off
[[ ! -e "$XDG_CONFIG_HOME/hushpad/InputLock.keyboard.v1.data" ]] || fail "the keyboard record stayed"

kill -TERM "$hushpad_pid"
expect_exit 0
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
