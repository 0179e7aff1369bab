#!/usr/bin/env bash
# A restore that does not take keeps the backup: the touchpad settings live in
# dconf, written by dconf-service on this test's session bus. With the writer
# gone (stopped, and its bus name held by a process that answers nothing), an
# unlock cannot put the settings back: the backup stays and the user is told.
# The next start, with the writer back, restores.
source "$(dirname "$0")/lib.sh"

export GSETTINGS_BACKEND=dconf
dconf_dir=/org/gnome/desktop/peripherals/touchpad
user_has_value() { [[ -n "$(dconf read "$dconf_dir/$1")" ]]; }
bus_call() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method "org.freedesktop.DBus.$1" "${@:2}"
}
writer_pid() { bus_call GetConnectionUnixProcessID ca.desrt.dconf | sed -nE 's/^\(uint32 ([0-9]+),\)$/\1/p' | grep .; }
alert_window() { xdotool search --onlyvisible --name '^Hushpad$' 2>/dev/null | head -n 1 | grep .; }

step "desktop: Xvfb, trayer, xev; the settings in dconf"
start_desktop
dbus-update-activation-environment HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
set_user_settings
wait_for 10 "the user's settings in dconf" user_has_value tap-to-click
start_hushpad
lock
wait_for 10 "the touchpad settings to be switched off" all_switched_off

step "1. dconf's writer goes and cannot come back"
pid=$(writer_pid) || fail "no dconf writer on the session bus"
kill "$pid"
writer_gone() { [[ "$(bus_call NameHasOwner ca.desrt.dconf)" == "(false,)" ]]; }
wait_for 10 "dconf's writer to leave the bus" writer_gone
/usr/bin/python3 "$e2e_dir/dconf_writer_gone.py" >"$work/writer-gone.log" 2>&1 &
gone_pid=$!
helpers+=($!)
held_by_stand_in() { [[ "$(writer_pid)" == "$gone_pid" ]]; }
wait_for 10 "dconf's name to be held by the stand-in" held_by_stand_in

step "2. an unlock cannot put the settings back: the backup stays, the user is told"
click_icon 1
wait_for 10 "the alert that the settings are not back yet" alert_window
read -r alert_x alert_y alert_w alert_h < <(window_geometry "$(alert_window)")
import -window root -crop "${alert_w}x${alert_h}+${alert_x}+${alert_y}" +repage \
  "$artifacts/alert-settings-not-back.png"
xdotool mousemove "$((alert_x + alert_w / 2))" "$((alert_y + alert_h / 3))" key Return
wait_for 10 "the icon to read unlocked" icon_title_is "Hushpad unlocked"
[[ -s "$backup" ]] || fail "the backup is gone though the settings are not back"
all_switched_off || fail "the settings changed though dconf could not write"
kill -TERM "$hushpad_pid"
expect_exit 0
[[ -s "$backup" ]] || fail "quitting lost the backup"

step "3. with the writer back, the next start restores"
kill "$gone_pid"
wait "$gone_pid" 2>/dev/null || true
start_hushpad
wait_for 10 "the user's settings to be restored at launch" user_settings_restored
alert_window >/dev/null && fail "an alert at a start that restored"

kill -TERM "$hushpad_pid"
expect_exit 0
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
