#!/usr/bin/env bash
# A stalled Hushpad never keeps the input: while locked a watchdog child
# kills it when its main loop has not turned for 5 s (here: SIGSTOP, as a
# debugger's breakpoint would), the X server lets go of the grab, and the next
# start restores the settings. Unlocked, no watchdog runs.
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
mark=$(xev_lines)
stopped=$(now_ms)
kill -STOP "$hushpad_pid"
wait_for 6 "keys to reach the client again" key_reaches_client
echo "   keys reached the client $(($(now_ms) - stopped)) ms after SIGSTOP"
expect_exit 137
all_switched_off || fail "the settings changed though Hushpad was stopped"

step "3. the next start restores the settings"
start_hushpad
wait_for 10 "the user's touchpad settings to be restored at launch" user_settings_restored
kill -TERM "$hushpad_pid"
expect_exit 0
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
