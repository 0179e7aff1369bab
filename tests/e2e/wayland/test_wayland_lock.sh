#!/usr/bin/env bash
# Hushpad as a native Wayland client on sway: its item in waybar's tray; a
# click on it covers both outputs (of different sizes) on the overlay layer;
# keys, clicks and scrolls reach neither wev nor waybar, sway's own key
# bindings stay quiet, the pointer still moves; the unlock mark is drawn where
# the pointer was; a click 13 px beside it stays locked, a click on it unlocks.
# KWin's touchpad settings (a stand-in of its D-Bus devices) are switched off
# while locked and come back, after a kill while locked too. logind's Lock
# (a stand-in) lets the input go for a locker, and the cover with its mark
# comes back after.
source "$(dirname "$0")/lib.sh"

step "sway with two outputs (1280 x 800, 1024 x 768), wev, waybar's tray"
start_sway 1280x800 1024x768
start_wl_system_bus_with_login1
start_wev
cp "$hushpad" "$wl_files/hushpad"
kwin_log=$work/kwin.log
/usr/bin/python3 "$wl_dir/kwin_standin.py" "$kwin_log" >"$work/kwin.out" 2>&1 &
helpers+=($!)
wait_for 10 "the stand-in KWin" grep -qx ready "$kwin_log"
touchpad=event7
kwin() {
  local device=$1
  [[ $device == touchpad ]] && device=$touchpad
  gdbus call --session --dest org.kde.KWin --object-path "/org/kde/KWin/InputDevice/$device" \
    --method org.freedesktop.DBus.Properties.Get org.kde.KWin.InputDevice "$2"
}
# kwin_settings_are TWO_FINGER EDGE: the touchpad's; its taps and the mouse never change.
kwin_settings_are() {
  [[ "$(kwin touchpad scrollTwoFinger)" == "(<$1>,)" && "$(kwin touchpad scrollEdge)" == "(<$2>,)" &&
    "$(kwin touchpad tapToClick)" == "(<true>,)" && "$(kwin event3 scrollTwoFinger)" == "(<true>,)" ]]
}
start_hushpad_wl() {
  "${wl_run[@]}" "$wl_files/hushpad" >>"$hushpad_log" 2>&1 &
  hushpad_pid=$!
  wait_for 10 "the item on the bus" bash -c "gdbus call --session --dest org.freedesktop.DBus \
    --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.ListNames |
    grep -q 'StatusNotifierItem-$hushpad_pid-'"
}

step "1. Hushpad runs as a Wayland client; with no panel it says so, and its item shows once waybar starts"
"${wl_run[@]}" "$wl_files/hushpad" >>"$hushpad_log" 2>&1 &
hushpad_pid=$!
wait_for 10 "Hushpad to say no panel shows its item" grep -q 'no panel here shows StatusNotifierItems' \
  "$hushpad_log"
start_waybar
wait_for 10 "the item to be drawn in waybar" find_tray_item_in_waybar
read -r item_x item_y <<<"$(find_tray_item_in_waybar)"
echo "   item at $item_x,$item_y"
second=$(as_wl_user "$wl_files/hushpad" 2>&1) || fail "a second Hushpad failed: $second"
[[ "$second" == "Hushpad is already running on this Wayland display." ]] ||
  fail "a second Hushpad said: $second"
echo "   idle resident memory: $(awk '/VmRSS/ {print $2, $3}' "/proc/$hushpad_pid/status")"
[[ "${HUSHPAD_E2E_MEASURE:-}" == 1 ]] && measure_idle_wakeups "Wayland, unlocked"

step "2. a click on the item locks; the mark is drawn where the pointer was"
focus_wev
mark=$(wev_lines)
clicked_ms=$(now_ms)
wl_click "$item_x" "$item_y"
wait_for 10 "the lock" item_reads 'Hushpad: locked'
wait_for 5 "the unlock mark on the cover" mark_box "$item_x" "$item_y"
echo "   click to locked: $(($(now_ms) - clicked_ms)) ms (mark drawn)"
# The pointer still moves, and leaves the mark where it was: a 24 px square
# centred where the pointer was (inside its output). The pointer's own image
# is out of the way for the look at it.
wl_move "$wev_cx" "$wev_cy"
mx=$((item_x - 12)) my=$((item_y - 12)) mw=24 mh=24
((my < 0)) && my=0
mark_in_place() {
  read -r px py pw ph <<<"$(mark_box "$item_x" "$item_y")" &&
    ((mx <= px && px + pw <= mx + mw && my <= py && py + ph <= my + mh)) &&
    ((px <= item_x && item_x < px + pw && py <= item_y && item_y < py + ph))
}
wait_for 5 "the mark's plate inside the 24 px square around where the pointer was" mark_in_place
echo "   plate drawn at $px,$py size ${pw}x$ph; the mark $mx,$my 24x24"
wl_screenshot "$artifacts/wayland-locked.png"
wait_for 10 "KWin's touchpad scrolling switched off" kwin_settings_are false false

step "3. keys, clicks and scrolls reach neither wev nor waybar; sway's bindings stay quiet"
wl_type b
wl_type -k F9
wl_type -M logo -k Return -m logo
wl_click "$wev_cx" "$wev_cy"
wl_click "$wev_cx" "$wev_cy" right
wl_scroll "$wev_cx" "$wev_cy" 3
wl_click "$((bar_x + 20))" "$((bar_y + 10))"
wl_press "$wev_cx" "$wev_cy"
wl_move "$((wev_cx + 40))" "$((wev_cy + 40))"
wl_release "$((wev_cx + 40))" "$((wev_cy + 40))"

step "4. a click 13 px beside the mark stays locked; a click on it unlocks"
wl_click "$((mx - 13))" "$((my + mh / 2))"
wl_click "$((mx + mw / 2))" "$((my + mh + 13))"
wl_type c
item_reads 'Hushpad: locked' || fail "a click 13 px outside the mark unlocked"
wl_click "$((mx + mw / 2))" "$((my + mh / 2))"
wait_for 10 "the unlock" item_reads 'Hushpad: unlocked'
mark_box "$item_x" "$item_y" >/dev/null && fail "the mark stayed after the unlock"
focus_wev
wl_type z
wait_for 5 "wev to get the key z after the unlock" wev_got_key "$mark" z
held=$(wev_since "$mark" | grep -E '(sym: [A-Za-z0-9_]+ |button: [0-9]+|axis: )' |
  grep -oE '(sym: [A-Za-z0-9_]+|button: [0-9]+ \([a-z]+\)|axis: [0-9]+)' | sort -u | tr '\n' ' ')
[[ "$held" == "sym: z " ]] || fail "input reached wev while locked: $held"
binding_fired f9 && fail "sway's F9 binding fired while locked"
binding_fired mod4-return && fail "sway's Mod4+Return binding fired while locked"
wait_for 10 "KWin's touchpad settings back" kwin_settings_are true true

step "5. logind's Lock lets the input go for a locker; the cover and its mark come back after"
read -r item_x item_y <<<"$(find_tray_item_in_waybar)"
wl_click "$item_x" "$item_y"
wait_for 10 "the lock" item_reads 'Hushpad: locked'
wait_for 5 "the unlock mark on the cover" mark_box "$item_x" "$item_y"
login1_hook EmitLock
mark_gone() { ! mark_box "$item_x" "$item_y" >/dev/null; }
wait_for 5 "the cover (and the mark on it) to be lifted" mark_gone
item_reads 'Hushpad: locked' || fail "logind's Lock ended the lock"
wait_for 10 "the cover and the mark back" mark_box "$item_x" "$item_y"
wl_click "$((mx + mw / 2))" "$((my + mh / 2))"
wait_for 10 "the unlock by the mark that came back" item_reads 'Hushpad: unlocked'

step "6. killed while locked, the next Hushpad puts KWin's settings back (the touchpad replugged meanwhile)"
wl_click "$item_x" "$item_y"
wait_for 10 "the lock" item_reads 'Hushpad: locked'
wait_for 10 "KWin's touchpad scrolling switched off" kwin_settings_are false false
kill -9 "$hushpad_pid"
expect_exit 137
gdbus call --session --dest org.kde.KWin --object-path /org/kde/KWin/InputDevice \
  --method org.hushpad.TestHooks.Replug event9 >/dev/null
touchpad=event9
start_hushpad_wl
wait_for 10 "KWin's touchpad settings back after the restart" kwin_settings_are true true

step "7. Hushpad ends on SIGTERM"
kill -TERM "$hushpad_pid"
expect_exit 0

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
