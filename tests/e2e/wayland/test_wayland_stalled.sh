#!/usr/bin/env bash
# A stalled Hushpad never keeps the input on Wayland either: no compositor
# takes the keyboard back from a layer-shell surface, so while the cover is up
# a watchdog child kills Hushpad when its main loop has not turned for 5 s
# (here: SIGSTOP), sway drops the killed client's surfaces and the keys reach
# wev again. The watchdog then starts a fresh Hushpad (the same program,
# arguments and environment), which puts KWin's and GSettings' touchpad
# values back and shows its item again, with nobody starting it.
source "$(dirname "$0")/lib.sh"

kwin() {
  gdbus call --session --dest org.kde.KWin --object-path "/org/kde/KWin/InputDevice/event7" \
    --method org.freedesktop.DBus.Properties.Get org.kde.KWin.InputDevice "$1"
}
kwin_scrolling_is() {
  [[ "$(kwin scrollTwoFinger)" == "(<$1>,)" && "$(kwin scrollEdge)" == "(<$1>,)" ]]
}
# The session's user owns the settings file: GSettings is read and written as that user.
setting() { as_wl_user gsettings get "$schema" "$1"; }
set_user_settings_wl() {
  as_wl_user gsettings set "$schema" tap-to-click true
  as_wl_user gsettings set "$schema" tap-and-drag false
  as_wl_user gsettings set "$schema" two-finger-scrolling-enabled false
  as_wl_user gsettings reset "$schema" edge-scrolling-enabled
}
item_on_bus() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames | grep -q "org.kde.StatusNotifierItem-$hushpad_pid-"
}
children() { pgrep -P "$hushpad_pid" || true; }
# sway gives the keyboard back to a window once the pointer comes into it
# (focus follows the mouse), as after any unlock: in from the item's output.
key_reaches_wev() {
  wl_move "$item_x" "$((item_y + 100))"
  wl_move "$wev_cx" "$wev_cy"
  wl_type k
  wev_got_key "$mark" k
}

step "sway, wev, waybar's tray, the stand-in KWin, the user's touchpad settings"
start_sway 1280x800 1024x768
start_wl_system_bus_with_login1
start_wev
start_waybar
cp "$hushpad" "$wl_files/hushpad"
kwin_log=$work/kwin.log
/usr/bin/python3 "$wl_dir/kwin_standin.py" "$kwin_log" >"$work/kwin.out" 2>&1 &
helpers+=($!)
wait_for 10 "the stand-in KWin" grep -qx ready "$kwin_log"
set_user_settings_wl
"${wl_run[@]}" "$wl_files/hushpad" >>"$hushpad_log" 2>&1 &
hushpad_pid=$!
wait_for 10 "the item on the bus" item_on_bus
wait_for 10 "the item to be drawn in waybar" find_tray_item_in_waybar
read -r item_x item_y <<<"$(find_tray_item_in_waybar)"

step "1. the watchdog runs while the cover is up only"
[[ -z "$(children)" ]] || fail "a child process while unlocked: $(children)"
focus_wev
wl_click "$item_x" "$item_y"
wait_for 10 "the lock" item_reads 'Hushpad: locked'
wait_for 10 "KWin's touchpad scrolling switched off" kwin_scrolling_is false
wait_for 10 "GSettings' scrolling switched off" all_switched_off
watchdog=$(children)
[[ "$watchdog" =~ ^[0-9]+$ ]] || fail "not one watchdog while locked: '$watchdog'"
mark=$(wev_lines)
wl_type b
item_reads 'Hushpad: locked' || fail "the lock ended"
wev_got_key "$mark" b && fail "a key reached wev while locked"

step "2. a stopped Hushpad lets go of the keyboard within 6 s"
mark=$(wev_lines)
stopped=$(now_ms)
kill -STOP "$hushpad_pid"
wait_for 6 "keys to reach wev again" key_reaches_wev
echo "   keys reached wev $(($(now_ms) - stopped)) ms after SIGSTOP"
expect_exit 137

step "3. the watchdog starts a fresh Hushpad: KWin's and GSettings' values back, the item shown, within 10 s"
# The watchdog became the fresh Hushpad; from here on it is the one this
# script stops.
hushpad_pid=$watchdog
same_program() {
  [[ "$(readlink "/proc/$hushpad_pid/exe")" == "$wl_files/hushpad" ]] &&
    [[ "$(tr '\0' ' ' <"/proc/$hushpad_pid/cmdline")" == "$wl_files/hushpad " ]]
}
wait_for 10 "the fresh Hushpad to be this program" same_program
wait_for 10 "KWin's touchpad scrolling back without a manual start" kwin_scrolling_is true
wait_for 10 "GSettings' values back without a manual start" user_settings_restored
wait_for 10 "the fresh Hushpad's item on the bus" item_on_bus
wait_for 10 "the item drawn in waybar again" find_tray_item_in_waybar
echo "   settings back and item shown $(($(now_ms) - stopped)) ms after SIGSTOP"

step "4. the fresh Hushpad locks and unlocks as ever, and ends on SIGTERM"
read -r item_x item_y <<<"$(find_tray_item_in_waybar)"
wl_click "$item_x" "$item_y"
wait_for 10 "the lock" item_reads 'Hushpad: locked'
wait_for 10 "KWin's touchpad scrolling switched off" kwin_scrolling_is false
wl_click "$item_x" "$item_y"
wait_for 10 "the unlock" item_reads 'Hushpad: unlocked'
kill -TERM "$hushpad_pid"
# Not this script's child: it is gone, or a zombie of whoever took it on.
wait_for 15 "the fresh Hushpad to exit" hushpad_ended
hushpad_pid=""
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
