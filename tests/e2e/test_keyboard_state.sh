#!/usr/bin/env bash
# The keyboard comes back as it was: the X server acts on Caps Lock, Num Lock
# and Shift pressed five times (sticky keys, with the keyboard accessibility
# shortcuts on) before any grab sees them, so a wipe under the lock changes
# them; the unlock puts them back, and typing reaches the client in lower case.
source "$(dirname "$0")/lib.sh"

indicator() { xset q | grep -oE "$1: +(on|off)" | awk '{print $NF}'; }
sticky_keys() { xkbset q | sed -n 's/^Sticky-Keys = //p'; }
keyboard_is() {  # keyboard_is CAPS NUM STICKY (on/off, on/off, On/Off)
  [[ "$(indicator 'Caps Lock') $(indicator 'Num Lock') $(sticky_keys)" == "$1 $2 $3" ]]
}
press() { local key; for key; do xdotool keydown "$key"; xdotool keyup "$key"; done; }

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

kill -TERM "$hushpad_pid"
expect_exit 0
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
