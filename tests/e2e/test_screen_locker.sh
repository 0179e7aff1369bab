#!/usr/bin/env bash
# Another program that wants the input gets it, and Hushpad takes it back
# afterwards: at any sign (logind's Lock and PrepareForSleep, the X screen
# saver, GNOME's session going idle, another program asking for a grab)
# Hushpad lets go of its grab at once and still shows "locked", with the
# settings off and the power keys held; it holds the input again when no
# other program took it within 3 s, or once that program lets it go. A click
# on the unlock mark unlocks, paused or not. Checked with a stand-in logind
# on a private system bus, a stand-in GNOME session manager and its one-try
# locker, `xset s activate`, and xscreensaver itself, run as a user of its
# own and unlocked with its password. While unlocked the same signs change
# nothing.
source "$(dirname "$0")/lib.sh"

# Let go, showing "locked" still, with the settings off and the power keys held.
paused() {
  hushpad_let_go && all_switched_off &&
    ! login1_logged "released $(grep -c '^inhibit' "$login1_log")"
}

mark_window() { xdotool search --onlyvisible --name '^Hushpad is locked$' 2>/dev/null | head -n 1 | grep .; }
# Keys typed now do not reach the client (checked against the client's log at the end).
type_at_client() { xdotool mousemove "$client_x" "$client_y" key h; }
# No key is typed the moment the hold is seen: a locker that ends in stages
# (xscreensaver and its helpers) may still give a sign just after, and the
# input is rightly let go again for it.
holds_input() { hushpad_holds_input; }

# Locks, gives a sign with the command given, and waits for Hushpad to let go,
# then (no other program taking the input) to hold it again within 3 s more.
expect_pause_and_return() {
  lock_and_watch
  local signed
  signed=$(now_ms)
  "$@"
  wait_for 10 "Hushpad to let go for: $*" paused
  wait_for 5 "Hushpad to hold the input again after: $*" holds_input
  echo "   '$*': let go, held again $(($(now_ms) - signed)) ms after the sign"
  icon_title_is "Hushpad locked" || fail "not locked after '$*'"
  type_at_client
  unlock
}

# A sign while unlocked changes nothing: the next lock and unlock work as ever.
expect_nothing_from() {
  "$@"
  icon_title_is "Hushpad unlocked" && user_settings_restored || fail "unlocked, '$*' changed something"
  lock_and_watch
  hushpad_holds_input || fail "after '$*' the lock does not hold"
  unlock
}

step "desktop, a private system bus and a stand-in logind"
start_desktop_with_logind
mark=$(xev_lines)

step "1. logind's Lock for this session, with no locker behind it"
expect_nothing_from login1_hook EmitLock
expect_pause_and_return login1_hook EmitLock
login1_logged "session $hushpad_pid" || fail "Hushpad did not look up its own session"

step "2. logind's PrepareForSleep(true), before the machine sleeps"
expect_nothing_from login1_hook EmitPrepareForSleep true
expect_pause_and_return login1_hook EmitPrepareForSleep true

step "3. the X server's screen saver with no locker: xset s activate"
expect_nothing_from xset s activate
xset s reset
expect_pause_and_return xset s activate
xset s reset

step "   the idle time nearing the screen saver's timeout is a sign too, before the saver starts"
xset s 6 0
lock_and_watch
idle_since=$(now_ms)  # the pointer's move was the last input
wait_for 10 "Hushpad to let go before the screen saver starts" hushpad_let_go
idle_for=$(($(now_ms) - idle_since))
echo "   let go ${idle_for} ms into idleness, the saver's timeout being 6000 ms"
((idle_for < 6000)) || fail "Hushpad let go only once the screen saver had started"
xset s off
xset s reset
wait_for 5 "Hushpad to hold the input again" holds_input
unlock

step "4. GNOME's idle lock: the session goes idle, the locker's one grab succeeds"
/usr/bin/python3 "$e2e_dir/gnome_standins.py" session-manager >"$work/gnome-sm.log" 2>&1 &
helpers+=($!)
wait_for 10 "the stand-in session manager" gdbus introspect --session \
  --dest org.gnome.SessionManager --object-path /org/gnome/SessionManager/Presence
/usr/bin/python3 "$e2e_dir/gnome_standins.py" locker "$work/locker.log" >>"$work/locker.out" 2>&1 &
locker_pid=$!
helpers+=($!)
wait_for 10 "the stand-in locker to wait for idle" grep -qx waiting "$work/locker.log"
lock_and_watch
gdbus call --session --dest org.gnome.SessionManager --object-path /org/gnome/SessionManager/Presence \
  --method org.gnome.SessionManager.Presence.GoIdle >/dev/null
wait_for 10 "the locker's one try" grep -qE '^(grabbed|could not grab)$' "$work/locker.log"
grep -qx grabbed "$work/locker.log" || fail "the locker's one grab failed: Hushpad kept the input"
paused || fail "Hushpad is not let go while the locker holds the input"

step "   when the locker is gone, Hushpad holds the input again"
icon_title_is "Hushpad locked" && all_switched_off || fail "the lock did not outlast the locker's grab"
kill "$locker_pid"
wait_for 10 "Hushpad to hold the input again once the locker is gone" holds_input

step "   a click on the unlock mark unlocks"
read -r x y w h < <(window_geometry "$(mark_window)")
xdotool mousemove "$((x + w / 2))" "$((y + h / 2))" click 1
wait_for 10 "the icon to read unlocked" icon_title_is "Hushpad unlocked"
wait_for 10 "the settings to come back" user_settings_restored

step "   paused, a click on the mark unlocks too"
lock_and_watch
login1_hook EmitLock
wait_for 10 "Hushpad to let go" paused
read -r x y w h < <(window_geometry "$(mark_window)")
xdotool mousemove "$((x + w / 2))" "$((y + h / 2))" click 1
wait_for 10 "the icon to read unlocked" icon_title_is "Hushpad unlocked"

step "5. xscreensaver, run as a user of its own, locks the screen over a paused Hushpad; its password unlocks it and Hushpad holds the input again"
id -u hushpad-e2e >/dev/null 2>&1 || fail "no user hushpad-e2e: run scripts/setup-debian.sh --tests"
saver_home=$work/saver-home
mkdir -p "$saver_home"
chown hushpad-e2e: "$saver_home"
as_saver_user() {
  setpriv --reuid=hushpad-e2e --regid=hushpad-e2e --clear-groups \
    env -i DISPLAY="$DISPLAY" HOME="$saver_home" PATH=/usr/bin:/bin "$@"
}
# Ends a process and every process below it.
kill_tree() {
  local child
  for child in $(pgrep -P "$1"); do kill_tree "$child"; done
  kill "$1" 2>/dev/null || true
}
# Every window mapped or restacked on the root window, to tell whether Hushpad
# raises one over xscreensaver's while it waits.
xev -root -event substructure >"$work/root.log" 2>&1 &
helpers+=($!)
as_saver_user xscreensaver -no-splash -verbose >"$work/xscreensaver.log" 2>&1 &
saver_pid=$!
helpers+=($!)
wait_for 15 "xscreensaver to answer" as_saver_user xscreensaver-command -time
screen_locked() { as_saver_user xscreensaver-command -time 2>/dev/null | grep -q 'screen locked'; }
lock_and_watch
as_saver_user xscreensaver-command -lock >/dev/null
wait_for 20 "xscreensaver to lock the screen" screen_locked
icon_title_is "Hushpad locked" && all_switched_off || fail "the lock did not outlast xscreensaver's"
wait_for 10 "the root window's watcher to see Hushpad's windows" grep -q MapNotify "$work/root.log"
hushpad_windows=$(xdotool search --name '^Hushpad (input lock|is locked)' | while read -r id; do
  printf 'window 0x%x,|' "$id"; done)
root_seen=$(wc -l <"$work/root.log")
# A key wakes the password prompt (XTEST reaches whoever holds the input);
# Shift, pressed until it shows, types nothing into it.
prompt_shown() {
  xdotool key shift
  grep -q 'xscreensaver-auth: .*re-creating window' "$work/xscreensaver.log"
}
wait_for 20 "xscreensaver's password prompt" prompt_shown
sleep 4  # Hushpad's once-a-second tries to take the input back, watched
rebuilt=$(grep -c 'xscreensaver-auth: .*re-creating window: occluded' "$work/xscreensaver.log" || true)
restacked=$(tail -n "+$((root_seen + 1))" "$work/root.log" | grep -c -E "${hushpad_windows%|}" || true)
echo "   while xscreensaver held the input: $restacked of Hushpad's windows mapped or restacked," \
  "xscreensaver's prompt rebuilt $rebuilt times"
((restacked == 0)) || fail "Hushpad restacked its windows over xscreensaver's"
((rebuilt == 0)) || fail "xscreensaver rebuilt its prompt $rebuilt times while Hushpad waited"
xdotool type --delay 30 'cat-on-keys'
xdotool key Return
wait_for 10 "the password to unlock xscreensaver" grep -q 'xscreensaver: .*ungrabbing keyboard' \
  "$work/xscreensaver.log"
unlocked=$(now_ms)
# xscreensaver holds the input until its screen has faded back in (3 s here).
wait_for 10 "xscreensaver to fade the screen back in" grep -q 'unfading done' "$work/xscreensaver.log"
faded=$(now_ms)
wait_for 3 "Hushpad to hold the input again within 3 s of xscreensaver letting go" holds_input
echo "   held again $(($(now_ms) - unlocked)) ms after xscreensaver's unlock," \
  "$(($(now_ms) - faded)) ms after its fade-in ended"
icon_title_is "Hushpad locked" && all_switched_off || fail "the lock did not outlast xscreensaver's"
kill_tree "$saver_pid"  # xscreensaver and its helpers
unlock

step "6. nothing typed while locked reached the client"
xdotool mousemove "$client_x" "$client_y" key z
wait_for 5 "the client to receive the key z after unlocking" client_got_key "$mark" z
held=$(xev_since "$mark" | grep -E '^KeyPress' -A 2 | grep -oE 'keysym 0x[0-9a-f]+, [^)]+\)' || true)
[[ "$held" == "keysym 0x7a, z)" ]] || fail "keys reached the client while locked: $held"

step "7. Hushpad printed no GLib or GTK warning or critical"
! grep -E '(CRITICAL|WARNING|Gtk-|GLib-)' "$hushpad_log" >&2 || fail "GLib warnings or criticals"

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
