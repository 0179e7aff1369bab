#!/usr/bin/env bash
# The Wayland harness on its own, before any test of Hushpad leans on it: a
# headless sway with two outputs of different sizes and a keyboard and a
# pointer held plugged in (wev gets the keyboard focus with no key typed), keys
# from wtype and clicks and scrolls from wl_pointer reaching wev and sway's
# bindings, waybar's tray showing a StatusNotifierItem, and a click on that
# icon reaching the item's Activate.
source "$(dirname "$0")/lib.sh"

step "sway with two outputs, 1280 x 800 and 1024 x 768 to its right; a keyboard and a pointer"
start_sway 1280x800 1024x768
wl_outputs | sed 's/^/   /'
wl_screenshot "$artifacts/wayland-desktop.png"
input_types=$(swaymsg -r -t get_inputs | jq -r '[.[].type] | sort | unique | join(" ")')
[[ "$input_types" == "keyboard pointer" ]] || fail "the seat's input devices are: $input_types"

step "wev gets the keyboard focus from the held keyboard, before any key from wtype"
start_wev
wev_keyboard_entered() { grep -q 'wl_keyboard\] enter' "$wev_log"; }
echo "   wev at $wev_x,$wev_y size ${wev_w}x$wev_h"
wait_for 5 "wev's wl_keyboard to enter its window" wev_keyboard_entered

step "wev gets a key from wtype, a left click and a scroll from wl_pointer"
mark=$(wev_lines)
wl_type a
wait_for 5 "wev to get the key a" wev_got_key "$mark" a
wl_click "$wev_cx" "$wev_cy"
wait_for 5 "wev to get a left press" wev_got_button "$mark" left
wait_for 5 "wev to get a left release" wev_got_button "$mark" left released
wl_scroll "$wev_cx" "$wev_cy" 2
wait_for 5 "wev to get a scroll down" wev_got_axis "$mark" down
wl_click "$((wev_x + 10))" "$((wev_y + 10))" right
wait_for 5 "wev to get a right press" wev_got_button "$mark" right

step "sway's bindings fire from wtype: F9, Mod4+Return"
wl_type -k F9
wait_for 5 "the F9 binding to run" binding_fired f9
wl_type -M logo -k Return -m logo
wait_for 5 "the Mod4+Return binding to run" binding_fired mod4-return
if wev_got_key "$mark" F9 || wev_got_key "$mark" Return; then
  fail "a key bound in sway reached wev"
fi

step "waybar's tray on HEADLESS-2 owns the StatusNotifierWatcher"
start_waybar
echo "   bar at $bar_x,$bar_y size ${bar_w}x$bar_height"
watcher_property() {
  gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"
}
host_registered() { [[ "$(watcher_property IsStatusNotifierHostRegistered)" == "(<true>,)" ]]; }
wait_for 10 "waybar's tray to register as a host" host_registered
hosts=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.ListNames | grep -o 'org\.kde\.StatusNotifierHost-[^'\'']*' || true)
echo "   hosts on the bus: ${hosts:-none}"

step "an item (sni_item.py) shows in the tray and its icon is found"
if find_tray_item_in_waybar >/dev/null; then fail "something is drawn in the empty tray"; fi
item_log=$work/sni-item.log
"${wl_run[@]}" /usr/bin/python3 "$wl_files/sni_item.py" >"$item_log" 2>&1 &
helpers+=($!)
wait_for 10 "the item to register with the watcher" grep -qx registered "$item_log"
# The item's pixmap is one solid orange.
item_drawn() {
  local x y
  read -r x y <<<"$(find_tray_item_in_waybar)" && [[ "$(wl_pixel "$x" "$y")" == ff8000 ]]
}
wait_for 10 "the item's icon to be drawn in waybar" item_drawn
read -r item_x item_y <<<"$(find_tray_item_in_waybar)"
echo "   icon centre at $item_x,$item_y"
((item_x >= bar_x && item_x < bar_x + bar_w && item_y >= bar_y && item_y < bar_y + bar_height)) ||
  fail "the icon's centre $item_x,$item_y is outside the bar"
wl_screenshot "$artifacts/wayland-bar.png" "$bar_x,$bar_y ${bar_w}x$bar_height"

step "a left click on the icon reaches the item's Activate"
wl_click "$item_x" "$item_y"
wait_for 10 "the item to be activated" grep -q '^Activate ' "$item_log"
echo "   waybar passed: $(grep '^Activate ' "$item_log" | head -n 1)"

step "wev has the keyboard again once the pointer is back over it"
focus_wev
mark=$(wev_lines)
wl_type b
wait_for 5 "wev to get the key b" wev_got_key "$mark" b

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
