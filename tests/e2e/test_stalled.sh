#!/usr/bin/env bash
# A stalled Hushpad never keeps the input: while locked a watchdog child
# kills it when its main loop has not turned for 5 s (here: SIGSTOP, as a
# debugger's breakpoint would), the X server lets go of the grab, and the
# watchdog starts a fresh Hushpad (the same program, arguments and
# environment), which restores the settings and shows its icon again with
# nobody starting it. Unlocked, no watchdog runs.
source "$(dirname "$0")/lib.sh"

children() { pgrep -P "$hushpad_pid" || true; }
no_children() { [[ -z "$(children)" ]]; }
key_reaches_client() {
  xdotool mousemove "$client_x" "$client_y" key k
  client_got_key "$mark" k
}

step "desktop: Xvfb, trayer, xev"
start_desktop
set_user_settings
start_hushpad

step "1. the watchdog runs while locked only"
no_children || fail "a child process while unlocked: $(children)"
lock
wait_for 10 "the touchpad settings to be switched off" all_switched_off
[[ -n "$(children)" ]] || fail "no watchdog while locked"
unlock
wait_for 5 "the watchdog to leave at unlock" no_children

step "2. a stopped Hushpad lets go of the input within 6 s"
lock
wait_for 10 "the touchpad settings to be switched off" all_switched_off
watchdog=$(children)
[[ "$watchdog" =~ ^[0-9]+$ ]] || fail "not one watchdog while locked: $watchdog"
mark=$(xev_lines)
stopped=$(now_ms)
kill -STOP "$hushpad_pid"
wait_for 6 "keys to reach the client again" key_reaches_client
echo "   keys reached the client $(($(now_ms) - stopped)) ms after SIGSTOP"
expect_exit 137

step "3. the watchdog starts a fresh Hushpad: settings back and icon shown within 10 s"
# The watchdog became the fresh Hushpad; from here on it is the one this
# script stops.
hushpad_pid=$watchdog
same_program() {
  [[ "$(readlink "/proc/$hushpad_pid/exe")" == "$hushpad" ]] &&
    [[ "$(tr '\0' ' ' <"/proc/$hushpad_pid/cmdline")" == "$hushpad " ]]
}
wait_for 10 "the fresh Hushpad to be this program" same_program
wait_for 10 "the user's touchpad settings to be restored without a manual start" \
  user_settings_restored
wait_for 10 "the tray to embed the fresh Hushpad's icon" icon_embedded
wait_for 10 "the icon to read \"Hushpad unlocked\"" icon_title_is "Hushpad unlocked"
echo "   settings back and icon shown $(($(now_ms) - stopped)) ms after SIGSTOP"

step "4. the fresh Hushpad locks and unlocks as ever, and ends on SIGTERM"
read_icon_geometry
lock_and_watch
unlock
kill -TERM "$hushpad_pid"
# Not this script's child: it is gone, or a zombie of whoever took it on.
wait_for 15 "the fresh Hushpad to exit" hushpad_ended
hushpad_pid=""
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
