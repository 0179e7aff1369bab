#!/usr/bin/env bash
# KWin's touchpad settings are never lost, on any display server or device
# (a stand-in of KWin's D-Bus devices with three touchpads, two of one model,
# whose settings it keeps across its restarts as KWin does):
#  - Hushpad on sway is killed while locked. The X11 program (--xembed, under
#    Xvfb, with the same configuration folder) starts without KWin on the bus:
#    GSettings' values come back and the backup keeps KWin's entries alone;
#    the next start with KWin puts those back and the backup goes.
#  - A touchpad unplugged while locked: the unlock puts GSettings and the
#    other touchpads back; the next lock (from the lock command) switches
#    everything there is off and keeps the missing touchpad's entries; its
#    values come back when it is plugged in again, except one the user set
#    meanwhile, which is never written over.
source "$(dirname "$0")/lib.sh"

# GSettings' keyfile belongs to the session's user.
setting() { as_wl_user gsettings get "$schema" "$1"; }
set_user_settings() {
  as_wl_user gsettings set "$schema" tap-to-click true
  as_wl_user gsettings set "$schema" tap-and-drag false
  as_wl_user gsettings set "$schema" two-finger-scrolling-enabled false
  as_wl_user gsettings reset "$schema" edge-scrolling-enabled
}
gsettings_back() {
  [[ "$(setting tap-to-click)" == true && "$(setting tap-and-drag)" == false &&
    "$(setting two-finger-scrolling-enabled)" == false ]] && ! user_has_value edge-scrolling-enabled
}

start_hushpad_wl() {
  "${wl_run[@]}" "$wl_files/hushpad" >>"$hushpad_log" 2>&1 &
  hushpad_pid=$!
  wait_for 10 "the item on the bus" bash -c "gdbus call --session --dest org.freedesktop.DBus \
    --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.ListNames |
    grep -q 'StatusNotifierItem-$hushpad_pid-'"
  wait_for 10 "the item to be drawn in waybar" find_tray_item_in_waybar
  read -r item_x item_y <<<"$(find_tray_item_in_waybar)"
}
# The lock and the unlock: a click on the item, then one on the mark drawn there.
lock_wl() {
  local deadline=$(($(now_ms) + 10000))
  wl_move "$((item_x - 200))" 300
  wl_click "$item_x" "$item_y"
  until item_reads 'Hushpad: locked'; do
    if (($(now_ms) > deadline)); then
      wl_screenshot "$artifacts/wayland-kwin-no-lock.png"
      fail "timed out after 10s waiting for the lock"
    fi
    sleep 0.05
  done
}
unlock_wl() {
  wl_click "$item_x" "$((item_y < 6 ? 6 : item_y))"
  wait_for 10 "the unlock" item_reads 'Hushpad: unlocked'
}
# The X11 program of a Plasma X11 session or GNOME, in the same configuration folder.
start_hushpad_x11() {
  "${wl_run[@]}" env -u WAYLAND_DISPLAY XDG_SESSION_TYPE=x11 "$wl_files/hushpad" --xembed \
    >>"$hushpad_log" 2>&1 &
  hushpad_pid=$!
}

kwin_runs=0
start_kwin() {
  kwin_runs=$((kwin_runs + 1))
  kwin_log=$work/kwin-$kwin_runs.log
  /usr/bin/python3 "$wl_dir/kwin_standin.py" "$kwin_log" --touchpads 3 --state "$work/kwin-state.json" \
    >>"$work/kwin.out" 2>&1 &
  kwin_pid=$!
  helpers+=($!)
  wait_for 10 "the stand-in KWin" grep -qx ready "$kwin_log"
}
stop_kwin() {
  kill "$kwin_pid"
  wait "$kwin_pid" 2>/dev/null || true
  wait_for 10 "KWin to leave the bus" eval '! bus_name_has_owner org.kde.KWin'
}
kwin_hook() {
  gdbus call --session --dest org.kde.KWin --object-path /org/kde/KWin/InputDevice \
    --method "org.hushpad.TestHooks.$1" "${@:2}" >/dev/null
}
kwin_is() {  # kwin_is DEVICE PROPERTY true|false
  [[ "$(gdbus call --session --dest org.kde.KWin --object-path "/org/kde/KWin/InputDevice/$1" \
    --method org.freedesktop.DBus.Properties.Get org.kde.KWin.InputDevice "$2")" == "(<$3>,)" ]]
}
# kwin_touchpads_are EVENT7 EVENT8 EVENT12: each "TWO_FINGER EDGE"; the mouse and the taps never change.
kwin_touchpads_are() {
  local device values
  for device in event7 event8 event12; do
    values=$1
    shift
    [[ "$values" == - ]] && continue  # unplugged
    kwin_is "$device" scrollTwoFinger "${values% *}" && kwin_is "$device" scrollEdge "${values#* }" &&
      kwin_is "$device" tapToClick true || return 1
  done
  kwin_is event3 scrollTwoFinger true
}
backup_holds() { [[ -e "$backup" ]] && grep -q "$1" "$backup"; }

step "sway, waybar and Xvfb; the stand-in KWin with three touchpads; the user's settings"
start_sway
start_wl_system_bus_with_login1
start_waybar
start_xvfb
cp "$hushpad" "$wl_files/hushpad"
set_user_settings
start_kwin
kwin_touchpads_are "true true" "true true" "true false" || fail "the stand-in's settings at the start"

step "1. on sway, a lock switches GSettings and every touchpad off (two of one model included); killed"
start_hushpad_wl
lock_wl
wait_for 10 "every touchpad's scrolling off" kwin_touchpads_are "false false" "false false" "false false"
wait_for 10 "GSettings' scrolling off" all_switched_off
kill -9 "$hushpad_pid"
expect_exit 137

step "2. the X11 program without KWin: GSettings' values back, KWin's kept in the backup"
stop_kwin
start_hushpad_x11
wait_for 10 "GSettings' values back" gsettings_back
wait_for 10 "the backup to hold KWin's entries alone" \
  eval 'backup_holds org.kde.KWin.InputDevice && ! backup_holds org.gnome'
grep -q '"scrollEdge".*false' "$work/kwin-state.json" || fail "KWin's settings changed meanwhile"
kill -TERM "$hushpad_pid"
expect_exit 0
backup_holds org.kde.KWin.InputDevice || fail "quitting lost KWin's entries"

step "3. with KWin back on the bus, the next start of the X11 program puts KWin's values back"
start_kwin
start_hushpad_x11
wait_for 10 "KWin's settings back" kwin_touchpads_are "true true" "true true" "true false"
wait_for 10 "the backup gone" eval '[[ ! -e "$backup" ]]'
gsettings_back || fail "GSettings' values changed"
kill -TERM "$hushpad_pid"
expect_exit 0

step "4. on sway, a touchpad unplugged while locked: the rest comes back, its values are kept"
start_hushpad_wl
lock_wl
wait_for 10 "every touchpad's scrolling off" kwin_touchpads_are "false false" "false false" "false false"
kwin_hook Unplug event12
unlock_wl
wait_for 10 "the other touchpads back" kwin_touchpads_are "true true" "true true" -
wait_for 10 "GSettings' values back" gsettings_back
wait_for 10 "the backup to hold the missing touchpad's entries alone" \
  eval 'backup_holds "Magic Trackpad" && ! backup_holds Synaptics && ! backup_holds org.gnome'

step "   the next lock, from the lock command, switches off everything there is and keeps the missing touchpad's entries"
as_wl_user "$wl_files/hushpad" --lock || fail "hushpad --lock failed"
wait_for 10 "the lock" item_reads 'Hushpad: locked'
wait_for 10 "the touchpads there switched off" kwin_touchpads_are "false false" "false false" -
wait_for 10 "GSettings' edge scrolling switched off" eval '[[ "$(setting edge-scrolling-enabled)" == false ]]'
backup_holds "Magic Trackpad" && backup_holds Synaptics && backup_holds org.gnome ||
  fail "the lock over a waiting entry did not back up everything"
as_wl_user "$wl_files/hushpad" --unlock || fail "hushpad --unlock failed"
wait_for 10 "the unlock" item_reads 'Hushpad: unlocked'
wait_for 10 "the other touchpads back again" kwin_touchpads_are "true true" "true true" -
wait_for 10 "GSettings' values back again" gsettings_back
wait_for 10 "the backup to hold the missing touchpad's entries alone again" \
  eval 'backup_holds "Magic Trackpad" && ! backup_holds Synaptics && ! backup_holds org.gnome'

step "5. the user turns its edge scrolling on while it is away; plugged in, the rest comes back"
kwin_hook Keep event12 scrollEdge true
writes_before=$(wc -l <"$kwin_log")
kwin_hook Plug event12
wait_for 10 "the missing touchpad's two-finger scrolling back, the user's edge scrolling kept" \
  kwin_touchpads_are "true true" "true true" "true true"
wait_for 10 "the backup gone" eval '[[ ! -e "$backup" ]]'
! tail -n "+$((writes_before + 1))" "$kwin_log" | grep -q "^set event12 scrollEdge" ||
  fail "the user's edge scrolling was written over"

kill -TERM "$hushpad_pid"
expect_exit 0
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
