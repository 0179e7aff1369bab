#!/usr/bin/env bash
# The screen locker always wins: while locked, Hushpad lets go of everything
# (grab, power keys, touchpad settings) as soon as a screen locker or saver is
# about to take the screen, so that the locker's own grab succeeds; while
# unlocked the same signs change nothing. Checked with logind's Lock and
# PrepareForSleep signals from a stand-in logind on a private system bus, the X
# server's screen saver (`xset s activate`), and xscreensaver itself, run as an
# unprivileged user.
source "$(dirname "$0")/lib.sh"

# Hushpad unlocked by itself, with everything it held let go.
unlocked_for_locker() {
  icon_title_is "Hushpad unlocked" && user_settings_restored &&
    [[ $(grep -c '^released' "$login1_log") -eq $(grep -c '^inhibit' "$login1_log") ]]
}

# Locks, lets a locker start with the given command, and waits for Hushpad to
# make way.
expect_way_made_for() {
  lock
  wait_for 10 "the touchpad settings to be switched off" all_switched_off
  "$@"
  wait_for 10 "Hushpad to make way for: $*" unlocked_for_locker
}

# A sign while unlocked changes nothing: the next lock and unlock work as ever.
expect_nothing_from() {
  "$@"
  icon_title_is "Hushpad unlocked" && user_settings_restored || fail "unlocked, '$*' changed something"
  lock
  icon_title_is "Hushpad locked" || fail "after '$*' the lock does not hold"
  unlock
}

step "desktop, a private system bus and a stand-in logind"
start_desktop_with_logind

step "1. logind's Lock for this session"
expect_nothing_from login1_hook EmitLock
expect_way_made_for login1_hook EmitLock
login1_logged "session $hushpad_pid" || fail "Hushpad did not look up its own session"

step "2. logind's PrepareForSleep(true), before the machine sleeps"
expect_nothing_from login1_hook EmitPrepareForSleep true
expect_way_made_for login1_hook EmitPrepareForSleep true

step "3. the X server's screen saver: xset s activate"
expect_nothing_from xset s activate
xset s reset
expect_way_made_for xset s activate
xset s reset

step "4. xscreensaver, run as an unprivileged user, locks the screen"
saver_home=$work/saver-home
mkdir -p "$saver_home"
chown nobody: "$saver_home"
as_nobody() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i DISPLAY="$DISPLAY" HOME="$saver_home" PATH=/usr/bin:/bin "$@"
}
as_nobody xscreensaver -no-splash >"$work/xscreensaver.log" 2>&1 &
helpers+=($!)
wait_for 15 "xscreensaver to answer" as_nobody xscreensaver-command -time
screen_locked() { as_nobody xscreensaver-command -time 2>/dev/null | grep -q 'screen locked'; }
expect_way_made_for as_nobody xscreensaver-command -lock
wait_for 20 "xscreensaver to lock the screen" screen_locked

step "5. Hushpad printed no GLib or GTK warning or critical"
! grep -E '(CRITICAL|WARNING|Gtk-|GLib-)' "$hushpad_log" >&2 || fail "GLib warnings or criticals"

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
