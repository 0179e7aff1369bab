#!/usr/bin/env bash
# Hushpad end to end in a headless X server: a real tray host (trayer), a real
# client (xev in its own window), input through XTEST. With
# HUSHPAD_E2E_MEASURE=1 the run also counts the program's wakeups (context
# switches) over 10 s idle, unlocked and locked.
source "$(dirname "$0")/lib.sh"

# ===================================================================================

step "desktop: Xvfb, trayer, xev"
start_desktop
set_user_settings

step "1. the icon embeds; screenshot of the unlocked icon"
start_hushpad
wait_for 10 "the unlocked icon to be drawn" icon_drawn "$artifacts/icon-unlocked.png"
echo "   icon at ${icon_x},${icon_y} size ${icon_w}x${icon_h}"
echo "   idle resident memory: $(awk '/VmRSS/ {print $2, $3}' "/proc/$hushpad_pid/status")"
[[ "${HUSHPAD_E2E_MEASURE:-}" == 1 ]] && measure_idle_wakeups unlocked

step "   the client receives input while unlocked"
mark=$(xev_lines)
xdotool mousemove "$client_x" "$client_y" key a click 1
wait_for 5 "the client to receive the key a" client_got_key "$mark" a
wait_for 5 "the client to receive a click" client_got_click "$mark"

step "2. a left click on the icon locks"
lock
wait_for 10 "the locked icon to be drawn" \
  differs_from "$artifacts/icon-unlocked.png" "$artifacts/icon-locked.png"
[[ "${HUSHPAD_E2E_MEASURE:-}" == 1 ]] && measure_idle_wakeups locked

step "3. the touchpad settings read false while locked"
wait_for 10 "the touchpad settings to be switched off" all_switched_off
[[ -s "$backup" ]] || fail "no backup of the touchpad settings at $backup"

step "   keys, typing, clicks, drags and scrolls do not reach the client; the pointer moves"
mark=$(xev_lines)
xdotool mousemove "$client_x" "$client_y"
wait_for 5 "the pointer to move to the client while locked" pointer_at "$client_x" "$client_y"
xdotool key b
xdotool type 'typed'
xdotool key shift+x
xdotool click 1 click 2 click 3 click 4 click 5
xdotool mousedown 1 mousemove_relative 20 20 mouseup 1

step "   a grab broken from outside (the input window unmapped) is taken again"
tap_window=$(xdotool search --name '^Hushpad input lock' | head -n 1)
[[ -n "$tap_window" ]] || fail "no input window while locked"
xdotool windowunmap "$tap_window"
wait_for 10 "the input window to be mapped again for a new grab" \
  bash -c "xwininfo -id $tap_window | grep -q 'Map State: IsViewable'"
icon_title_is "Hushpad locked" || fail "the broken grab unlocked"
xdotool mousemove "$client_x" "$client_y" key g

step "   a click 13 px left of the icon is swallowed"
xdotool mousemove "$((icon_x - 13))" "$icon_cy" click 1
# If that click had unlocked, this key would reach the client.
xdotool mousemove "$client_x" "$client_y" key c
icon_title_is "Hushpad locked" || fail "a click 13 px outside the icon unlocked"

step "   a click 10 px left of the icon unlocks on release"
xdotool mousemove "$((icon_x - 10))" "$icon_cy" mousedown 1
icon_title_is "Hushpad locked" || fail "pressing 10 px outside the icon unlocked before the release"
xdotool mouseup 1
wait_for 10 "the icon to read \"Hushpad unlocked\" after the release" \
  icon_title_is "Hushpad unlocked"

step "   afterwards the client receives input again, and nothing from the locked time"
xdotool mousemove "$client_x" "$client_y" key z
wait_for 5 "the client to receive the key z after unlocking" client_got_key "$mark" z
held=$(client_input_since "$mark")
[[ "$held" == "keysym 0x7a, z)" ]] || fail "input reached the client while locked: $held"
xdotool click 1
wait_for 5 "the client to receive a click after unlocking" client_got_click "$mark"

step "   the touchpad settings come back exactly"
wait_for 10 "the user's touchpad settings to be restored" user_settings_restored

step "4. crash safety: kill -9 while locked keeps the backup"
lock
wait_for 10 "the touchpad settings to be switched off" all_switched_off
wait_for 5 "the backup file" test -s "$backup"
cp "$backup" "$work/backup-before-crash"
kill -9 "$hushpad_pid"
expect_exit 137
[[ -s "$backup" ]] || fail "the backup is gone after kill -9"
all_switched_off || fail "the touchpad settings changed after kill -9"

step "   a restarted Hushpad puts the settings back at launch, before any click"
start_hushpad
wait_for 10 "the user's touchpad settings to be restored at launch" user_settings_restored
lock
wait_for 10 "the touchpad settings to be switched off" all_switched_off
unlock
wait_for 10 "the user's touchpad settings to be restored" user_settings_restored
kill -TERM "$hushpad_pid"
expect_exit 0

step "   an unreadable backup at launch: the alert, \"Reset Gestures\", then locks work again"
alert_window() { xdotool search --onlyvisible --name '^Hushpad$' 2>/dev/null | head -n 1 | grep .; }
no_user_values() {
  local key
  for key in two-finger-scrolling-enabled edge-scrolling-enabled; do
    ! user_has_value "$key" || return 1
  done
}
for key in two-finger-scrolling-enabled edge-scrolling-enabled; do
  gsettings set "$schema" "$key" false
done
head -c 60 "$work/backup-before-crash" >"$backup"  # as a full disk might leave it
start_hushpad
wait_for 10 "the unreadable-backup alert" alert_window
read -r alert_x alert_y alert_w alert_h < <(window_geometry "$(alert_window)")
import -window root -crop "${alert_w}x${alert_h}+${alert_x}+${alert_y}" +repage \
  "$artifacts/alert-unreadable-backup.png"
all_switched_off || fail "the settings changed before the alert was answered"
# The pointer gives the dialog the keyboard; Return is its default button, "Reset Gestures".
xdotool mousemove "$((alert_x + alert_w / 2))" "$((alert_y + alert_h / 3))"
xdotool key Return
wait_for 10 "the touchpad settings to be back at their defaults" no_user_values
[[ ! -e "$backup" ]] || fail "the unreadable backup is still in place after the reset"
cmp -s "${backup%.data}.unreadable.data" <(head -c 60 "$work/backup-before-crash") ||
  fail "the unreadable copy was not kept"
lock
wait_for 10 "the touchpad settings to be switched off after the reset" all_switched_off
unlock
wait_for 10 "the defaults to come back after the reset" no_user_values
set_user_settings

step "5. a right click opens the menu; \"Quit Hushpad\" exits"
menu_window() {
  local window
  for window in $(xdotool search --onlyvisible --classname '^hushpad$'); do
    if xprop -id "$window" _NET_WM_WINDOW_TYPE | grep -q POPUP_MENU; then
      echo "$window"
      return 0
    fi
  done
  return 1
}
menu_closed() { ! menu_window; }
click_icon 3
wait_for 10 "the menu to open" menu_window
menu=$(menu_window) || fail "the menu closed by itself"
read -r menu_x menu_y menu_w menu_h < <(window_geometry "$menu")
icon_title_is "Hushpad unlocked" || fail "the right click locked"
import -window root -crop "$((menu_w + 8))x$((menu_y + menu_h + 4))+$((menu_x - 4))+0" \
  +repage "$artifacts/menu.png"
# "Quit Hushpad" is the last item.
xdotool mousemove "$((menu_x + menu_w / 3))" "$((menu_y + menu_h - 16))" click 1
expect_exit 0

step "   after the menu was opened and closed, SIGTERM while locked restores, then exits cleanly"
start_hushpad
click_icon 3
wait_for 10 "the menu to open" menu_window
xdotool key Escape
wait_for 10 "the menu to close" menu_closed
lock
wait_for 10 "the touchpad settings to be switched off" all_switched_off

step "   a second Hushpad says one is running and leaves, touching nothing"
cp "$backup" "$work/backup-of-the-first"
second=$(timeout 10 "$hushpad" 2>&1) || fail "the second Hushpad exited with status $?: $second"
[[ "$second" == "Hushpad is already running in this X session." ]] ||
  fail "the second Hushpad said: $second"
cmp -s "$backup" "$work/backup-of-the-first" || fail "the second Hushpad touched the backup"
all_switched_off || fail "the second Hushpad restored the first one's settings"
[[ $(xdotool search --name '^Hushpad (un)?locked$' | wc -l) -eq 1 ]] || fail "two tray icons"
icon_title_is "Hushpad locked" || fail "the first Hushpad is no longer locked"

kill -TERM "$hushpad_pid"
expect_exit 0
user_settings_restored || fail "SIGTERM while locked did not restore the touchpad settings"

step "6. Hushpad printed no GLib or GTK warning or critical"
if grep -E '(CRITICAL|WARNING|Gtk-|GLib-|GLib-GObject-)' "$hushpad_log" >&2; then
  fail "Hushpad's output has GLib warnings or criticals"
fi

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
