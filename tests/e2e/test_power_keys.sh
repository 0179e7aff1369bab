#!/usr/bin/env bash
# While locked, Hushpad holds a logind inhibitor of the power, suspend and
# hibernate keys, which logind reads from the kernel past any X grab: checked
# against a stand-in logind on a private system bus. The inhibitor is let go at
# unlock, at SIGTERM and when the process is killed; without logind the lock
# goes ahead all the same.
source "$(dirname "$0")/lib.sh"

inhibit="inhibit handle-power-key:handle-suspend-key:handle-hibernate-key:handle-reboot-key|Hushpad|"
inhibit+="Hushpad is holding the keyboard and pointer|block"
inhibitions() { grep -cx -- "$inhibit" "$login1_log" 2>/dev/null || true; }
expect_inhibitions() { [[ $(inhibitions) -eq $1 ]]; }

step "desktop, a private system bus and a stand-in logind"
start_desktop_with_logind

step "1. a lock takes the inhibitor, the unlock lets it go"
lock
wait_for 10 "the inhibitor to be taken" expect_inhibitions 1
login1_logged "released 1" && fail "the inhibitor was let go while locked"
unlock
wait_for 10 "the inhibitor to be let go at unlock" login1_logged "released 1"

step "2. SIGTERM while locked lets it go"
lock
wait_for 10 "the second inhibitor" expect_inhibitions 2
kill -TERM "$hushpad_pid"
expect_exit 0
wait_for 10 "the inhibitor to be let go at SIGTERM" login1_logged "released 2"

step "3. kill -9 while locked: the kernel lets it go"
start_hushpad
lock
wait_for 10 "the third inhibitor" expect_inhibitions 3
kill -9 "$hushpad_pid"
expect_exit 137
wait_for 10 "the inhibitor to be let go after kill -9" login1_logged "released 3"

step "4. without logind the lock goes ahead"
kill "$login1_pid"
wait_for 10 "the stand-in to be gone" bash -c "! kill -0 $login1_pid"
start_hushpad
wait_for 10 "the settings restored at launch" user_settings_restored
lock
wait_for 10 "the touchpad settings to be switched off" all_switched_off
unlock
wait_for 10 "the user's touchpad settings to be restored" user_settings_restored

step "5. Hushpad printed no GLib or GTK warning or critical"
! grep -E '(CRITICAL|WARNING|Gtk-|GLib-)' "$hushpad_log" >&2 || fail "GLib warnings or criticals"

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
