#!/usr/bin/env bash
# Hushpad on sway knows whether its cover holds the input. The compositor's
# shortcuts given back while locked (sway's `shortcuts_inhibitor deactivate`,
# a user's escape binding) is input taken from under the lock: the lock stays,
# its cover stays up (no key reaches a client meanwhile), and it asks for the
# shortcuts again (sway's bindings quiet again). A screen locker
# (ext-session-lock, as swaylock) taking the keyboard while locked is the
# same; the tries to take it back while the locker holds it cost next to
# nothing (no cover built and waited for each second), and the lock holds the
# input again once the locker lets go. An output plugged in while locked gets its own surface at
# once: clicks there stop reaching a client as soon as it is placed, and the
# lock stays.
source "$(dirname "$0")/lib.sh"

[[ -x "${HUSHPAD_WL_SESSION_LOCK:-}" ]] || fail "HUSHPAD_WL_SESSION_LOCK must name the wl_session_lock tool"
cp "$HUSHPAD_WL_SESSION_LOCK" "$wl_files/"
session_lock_log=$work/session-lock.log
session_locker() { grep -qx "$1" "$session_lock_log" 2>/dev/null; }
wakeups() { awk '/ctxt_switches/ {sum += $2} END {print sum}' "/proc/$hushpad_pid/status"; }
# F9 held back: sway's binding does not fire, so the cover has the keyboard
# with the compositor's shortcuts inhibited.
f9_held_back() { ! f9_fired; }

# The unlock mark's plate around X Y.
mark_shown() { mark_box "$1" "$2" >/dev/null; }
mark_gone() { ! mark_shown "$item_x" "$item_y"; }
f9_fired() {
  rm -f "$wl_marks/f9"
  wl_type -k F9
  binding_fired f9
}

wev2_log=$work/wev2.log
wev2_lines() { wc -l <"$wev2_log"; }
wev2_got_click() { tail -n "+$(($1 + 1))" "$wev2_log" | grep -Eq 'button: [0-9]+ \(left\), state: 1 '; }
wev2_shown() {
  swaymsg -r -t get_tree | jq -e --argjson pid "$wev2_pid" \
    '[.. | objects | select(.pid? == $pid and .visible)] | length == 1' >/dev/null
}
# The output whose workspace holds the second wev.
wev2_output() {
  swaymsg -r -t get_workspaces | jq -r '.[] | select(.name == "9") | .output'
}
past() { (($(now_ms) >= $1)); }
# Clicks at X Y; fails once one does not reach the second wev within 300 ms.
click_reaches_wev2() {
  local before
  before=$(wev2_lines)
  wl_click "$1" "$2"
  wait_until_ms=$(($(now_ms) + 300))
  until wev2_got_click "$before"; do
    (($(now_ms) < wait_until_ms)) || return 1
    sleep 0.02
  done
}

step "sway with two outputs, wev, waybar's tray, Hushpad; a second wev on a workspace kept for a third output"
start_sway 1280x800 1024x768
start_wl_system_bus_with_login1
swaymsg 'workspace 9 output HEADLESS-3' >/dev/null
swaymsg 'workspace 9' >/dev/null
"${wl_run[@]}" stdbuf -oL wev >"$wev2_log" 2>&1 &
wev2_pid=$!
helpers+=($!)
wait_for 10 "the second wev on workspace 9" wev2_shown
swaymsg 'workspace 1' >/dev/null
start_wev
start_waybar
cp "$hushpad" "$wl_files/hushpad"
"${wl_run[@]}" "$wl_files/hushpad" >>"$hushpad_log" 2>&1 &
hushpad_pid=$!
wait_for 10 "the item to be drawn in waybar" find_tray_item_in_waybar
read -r item_x item_y <<<"$(find_tray_item_in_waybar)"

step "1. the shortcuts given back while locked: the lock stays, its cover too, and asks for them again"
wl_click "$item_x" "$item_y"
wait_for 10 "the lock" item_reads 'Hushpad: locked'
wait_for 5 "the unlock mark on the cover" mark_shown "$item_x" "$item_y"
f9_fired && fail "sway's F9 binding fired while locked"
wev_seen=$(wev_lines)
swaymsg seat seat0 shortcuts_inhibitor deactivate >/dev/null
given_back=$(now_ms)
# At once, the pointer moving over wev (whose window would take the focus,
# the cover gone) and keys typed, one every 150 ms: none may reach it.
wl_move "$((wev_cx - 5))" "$wev_cy"
wl_move "$wev_cx" "$wev_cy"
wl_type a b c
wait_for 10 "sway's shortcuts held back again" f9_held_back
echo "   shortcuts held back again $(($(now_ms) - given_back)) ms after they were given back"
item_reads 'Hushpad: locked' || fail "the shortcuts given back ended the lock"
mark_shown "$item_x" "$item_y" || fail "the cover and its mark went with the shortcuts"
for key in a b c; do
  wev_got_key "$wev_seen" "$key" && fail "the key $key reached a client while the shortcuts were given back"
done

step "2. a screen locker takes the keyboard while locked; the lock takes it back once it lets go"
session_lock_in=$work/session-lock.in
mkfifo "$session_lock_in"
chmod 666 "$session_lock_in"
exec 7<>"$session_lock_in"
"${wl_run[@]}" "$wl_files/wl_session_lock" <"$session_lock_in" >>"$session_lock_log" 2>&1 &
helpers+=($!)
wait_for 10 "the session to be locked" session_locker locked
session_locked=$(now_ms)
# The input taken from under it, Hushpad keeps its cover and tries to take
# the input back once a second.
item_reads 'Hushpad: locked' || fail "the screen locker ended the lock"
wait_for 5 "the first tries" past $((session_locked + 2000))
before=$(wakeups)
wait_for 10 "5 s of tries" past $((session_locked + 7000))
tries=$(($(wakeups) - before))
echo "   Hushpad's wakeups in 5 s of tries while the screen locker holds the input: $tries"
((tries < 100)) || fail "the tries while the locker holds the input spin ($tries wakeups in 5 s)"
item_reads 'Hushpad: locked' || fail "the lock ended while the screen locker held the input"
echo >&7
wait_for 5 "the screen locker to let go" session_locker unlocked
unlocked_session=$(now_ms)
wait_for 5 "the cover to hold the keyboard again (sway's F9 held back)" f9_held_back
echo "   the cover held the keyboard again $(($(now_ms) - unlocked_session)) ms after the locker let go"
wait_for 5 "the mark back" mark_shown "$item_x" "$item_y"
item_reads 'Hushpad: locked' || fail "the lock ended"
wait_for 5 "1 s more" past $(($(now_ms) + 1000))
f9_fired && fail "sway's F9 binding fired after the lock took the input back"

step "3. an output plugged in while locked is covered, and the lock stays"
swaymsg create_output >/dev/null
plugged=$(now_ms)
third() { wl_outputs | grep '^HEADLESS-3 '; }
wait_for 5 "the third output" third
read -r _ third_x third_y third_w third_h <<<"$(third)"
cx=$((third_x + third_w / 2)) cy=$((third_y + third_h / 2))
wev2_on_third() { [[ "$(wev2_output)" == HEADLESS-3 ]] && wev2_shown; }
wait_for 5 "the second wev's workspace on the new output" wev2_on_third
first_click=$(now_ms)
# Clicks on the new output for 5 s, and on until none has reached its client
# for 1 s: the last one that did tells how long the output stayed uncovered.
last_reached=""
until (($(now_ms) - plugged >= 5000)) && [[ -z "$last_reached" || $(($(now_ms) - last_reached)) -ge 1000 ]]; do
  (($(now_ms) - plugged < 8000)) || fail "clicks on the new output still reach a client 8 s after the plug"
  click_reaches_wev2 "$cx" "$cy" && last_reached=$(now_ms)
done
if [[ -n "$last_reached" ]]; then
  echo "   the new output covered $((last_reached - plugged)) ms after the plug (clicks reached its client until then)"
else
  echo "   the new output covered before the first click, $((first_click - plugged)) ms after the plug"
fi
item_reads 'Hushpad: locked' || fail "the new output ended the lock"

step "4. the item unlocks; clicks reach the new output's client again"
# As waybar's click does (the mark's own click is test_wayland_lock.sh's).
gdbus call --session --dest "$(item_name)" --object-path /StatusNotifierItem \
  --method org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
wait_for 10 "the unlock" item_reads 'Hushpad: unlocked'
wait_for 5 "a click on the new output to reach its client" click_reaches_wev2 "$cx" "$cy"
kill -TERM "$hushpad_pid"
expect_exit 0
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
