#!/usr/bin/env bash
# Hushpad as a StatusNotifierItem on Xfce's panel, whose notification area
# hosts such items (it owns the StatusNotifierWatcher): the item shows, a click
# on it locks, the unlock mark appears where the pointer was and unlocks, the
# panel's own menu (drawn from dbusmenu) locks and quits. With no watcher the
# item is an XEmbed icon in trayer; a panel that starts later takes it over,
# and one that goes away gives it back, a lock holding throughout. A watcher
# that refuses the item, or no session bus at all, leaves the XEmbed icon.
source "$(dirname "$0")/lib.sh"

watcher=org.kde.StatusNotifierWatcher
bus_names() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames
}
# The item's bus name, org.kde.StatusNotifierItem-PID-N: the one with the
# highest N when there are several (ListNames comes in no particular order).
item_name() {
  bus_names | grep -o "org\.kde\.StatusNotifierItem-$hushpad_pid-[0-9]*" | sort -t- -k3,3n |
    tail -n 1
}
watcher_gone() { ! bus_names | grep -q "'$watcher'"; }
item_registered() {
  gdbus introspect --session --dest "$watcher" --object-path /StatusNotifierWatcher \
    --only-properties | grep -q "StatusNotifierItem-$hushpad_pid-"
}
item_property() {
  gdbus call --session --dest "$(item_name)" --object-path /StatusNotifierItem \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"
}
item_reads() { item_property ToolTip | grep -q "$1"; }
item_locked() { item_reads 'Hushpad: locked' && hushpad_holds_input; }
item_unlocked() { item_reads 'Hushpad: unlocked' && ! hushpad_holds_input; }
mark_window() { xdotool search --onlyvisible --name '^Hushpad is locked$' 2>/dev/null | head -n 1 | grep .; }
panel_menu() { xdotool search --onlyvisible --classname '^wrapper-2.0$' 2>/dev/null | head -n 1 | grep .; }
contrast_in() { convert "$1" txt:- | /usr/bin/python3 "$e2e_dir/contrast.py"; }

# Sets item_x, item_y, item_w, item_h and the centre item_cx, item_cy from
# what is drawn on the panel's right half (the notification area).
find_item() {
  import -window root -crop 512x28+512+0 +repage "$work/panel.png" || return 1
  read -r item_x item_y item_w item_h < <(convert "$work/panel.png" txt:- |
    /usr/bin/python3 "$e2e_dir/item_box.py") || return 1
  ((item_w >= 8 && item_h >= 8)) || return 1
  item_x=$((item_x + 512))
  item_cx=$((item_x + item_w / 2))
  item_cy=$((item_y + item_h / 2))
}
# The item with 4 pixels around it, and its contrast against the panel.
shoot_item() {
  import -window root -crop "$((item_w + 8))x$((item_h + 8))+$((item_x - 4))+$((item_y - 4))" \
    +repage "$1"
}
# The unlock mark is centred where the pointer was when the lock came, moved
# just inside the screen at its edges.
mark_at() {
  local x y w h
  read -r x y w h < <(window_geometry "$(mark_window)")
  ((x <= $1 && $1 < x + w && y <= $2 && $2 < y + h))
}
# Sets mark_x, mark_y, mark_w, mark_h; fails the test when no mark is shown.
read_mark_geometry() {
  local window
  window=$(mark_window) || fail "no unlock mark is shown"
  read -r mark_x mark_y mark_w mark_h < <(window_geometry "$window")
  [[ -n "$mark_h" ]] || fail "the unlock mark ($window) went before its place was read"
}
click_mark() {
  read_mark_geometry
  xdotool mousemove "$((mark_x + mark_w / 2))" "$((mark_y + mark_h / 2))" click 1
}
same_pixels() { cmp -s <(convert "$1" rgb:-) <(convert "$2" rgb:-); }
# The locked item is drawn, and drawn through: two shots of it in a row are
# the same (not a panel caught halfway through a repaint), show an item, and
# differ from the unlocked one. The second shot is left in $1.
locked_item_drawn() {
  local w h
  shoot_item "$work/item-before.png" && shoot_item "$1" || return 1
  read -r _ _ w h < <(convert "$1" txt:- | /usr/bin/python3 "$e2e_dir/item_box.py") || return 1
  ((w >= 8 && h >= 8)) || return 1
  same_pixels "$work/item-before.png" "$1" &&
    ! same_pixels "$artifacts/sni-xfce-dark-unlocked.png" "$1"
}

start_xvfb
start_client
set_user_settings

step "1. Xfce's panel hosts StatusNotifierItems: Hushpad's item shows, and no XEmbed icon"
start_xfce_panel 0.12
panel_pid=${helpers[-1]}
wait_for 15 "the panel's StatusNotifierWatcher" bash -c "gdbus introspect --session \
  --dest $watcher --object-path /StatusNotifierWatcher --only-properties |
  grep -q 'IsStatusNotifierHostRegistered = true'"
"$hushpad" >>"$hushpad_log" 2>&1 &
hushpad_pid=$!
wait_for 10 "the item to be registered with the watcher" item_registered
wait_for 10 "the item to be drawn on the panel" find_item
[[ -z "$(icon_window)" ]] || fail "an XEmbed icon shows next to the StatusNotifierItem"
[[ "$(item_property Id)" == "(<'hushpad'>,)" ]] || fail "Id is $(item_property Id)"
[[ "$(item_property Menu)" == "(<objectpath '/MenuBar'>,)" ]] || fail "Menu is $(item_property Menu)"
shoot_item "$artifacts/sni-xfce-dark-unlocked.png"
unlocked=$(contrast_in "$artifacts/sni-xfce-dark-unlocked.png")
echo "   item at ${item_x},${item_y} size ${item_w}x${item_h}; contrast $unlocked : 1"
awk '{exit !($1 >= 4.5)}' <<<"$unlocked" || fail "the unlocked item reads at $unlocked : 1"
echo "   idle resident memory: $(awk '/VmRSS/ {print $2, $3}' "/proc/$hushpad_pid/status")"
[[ "${HUSHPAD_E2E_MEASURE:-}" == 1 ]] && measure_idle_wakeups "StatusNotifierItem, unlocked"

step "2. a click on the item locks; the unlock mark appears where the pointer was"
mark=$(xev_lines)
xdotool mousemove "$item_cx" "$item_cy" click 1
wait_for 10 "the lock" item_locked
wait_for 5 "the unlock mark" mark_window
mark_at "$item_cx" "$item_cy" || fail "the mark is at $(window_geometry "$(mark_window)"), \
the click at $item_cx,$item_cy"
xdotool mousemove "$client_x" "$client_y" key b click 1 click 3
xdotool type 'typed'
# The item's locked look, with the mark aside a moment.
xdotool windowunmap "$(mark_window)"
wait_for 10 "the locked item to be drawn" locked_item_drawn "$artifacts/sni-xfce-dark-locked.png"
xdotool windowmap "$(xdotool search --name '^Hushpad is locked$' | head -n 1)"
wait_for 5 "the unlock mark back" mark_window
locked=$(contrast_in "$artifacts/sni-xfce-dark-locked.png")
echo "   locked item contrast $locked : 1"
awk '{exit !($1 >= 4.5)}' <<<"$locked" || fail "the locked item reads at $locked : 1"

step "3. a click 13 px beside the mark stays locked; a click on it unlocks"
read_mark_geometry
echo "   mark at ${mark_x},${mark_y} size ${mark_w}x${mark_h}"
xdotool mousemove "$((mark_x - 13))" "$((mark_y + mark_h / 2))" click 1
xdotool mousemove "$client_x" "$client_y" key c
item_locked || fail "a click 13 px outside the mark unlocked"
mark_window >/dev/null || fail "the unlock mark went with a click 13 px outside it"
click_mark
wait_for 10 "the unlock" item_unlocked
xdotool mousemove "$client_x" "$client_y" key z
wait_for 5 "the client to receive the key z after unlocking" client_got_key "$mark" z
held=$(client_input_since "$mark")
[[ "$held" == "keysym 0x7a, z)" ]] || fail "input reached the client while locked: $held"
mark_window >/dev/null && fail "the unlock mark stayed after the unlock"

step "4. the panel's menu (dbusmenu): \"Lock Now\" locks, \"Quit Hushpad\" quits"
xdotool mousemove "$item_cx" "$item_cy" click 3
wait_for 10 "the panel's menu" panel_menu
import -window root -crop "$(xwininfo -id "$(panel_menu)" | awk '/Width:/ {w = $2}
  /Height:/ {h = $2} /Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4}
  END {printf "%dx%d+%d+%d", w, h, x, y}')" +repage "$artifacts/sni-xfce-menu.png"
# "Lock Now", the menu's first item, chosen with a click: the panel's own grab
# of its menu ends as the lock takes the input.
read -r menu_x menu_y menu_w menu_h < <(window_geometry "$(panel_menu)")
xdotool mousemove "$((menu_x + menu_w / 2))" "$((menu_y + 16))" click 1
wait_for 10 "the lock from \"Lock Now\"" item_locked
wait_for 5 "the unlock mark" mark_window
mark_at "$((menu_x + menu_w / 2))" "$((menu_y + 16))" || fail "after \"Lock Now\" the mark is at \
$(window_geometry "$(mark_window)"), the pointer at $((menu_x + menu_w / 2)),$((menu_y + 16))"
click_mark
wait_for 10 "the unlock" item_unlocked
xdotool mousemove "$item_cx" "$item_cy" click 3
wait_for 10 "the panel's menu" panel_menu
xdotool key Up Return
expect_exit 0
user_settings_restored || fail "the touchpad settings were not left as the user had them"

step "5. no watcher: the XEmbed icon in trayer; a (light) panel started later takes the item over"
kill "$panel_pid"
wait "$panel_pid" 2>/dev/null || true
wait_for 10 "the panel's watcher to go" watcher_gone
start_tray --distance 100
tray_pid=${helpers[-1]}
start_hushpad
item_name | grep -q . && fail "a StatusNotifierItem with no watcher"
echo "   idle resident memory (XEmbed icon): $(awk '/VmRSS/ {print $2, $3}' "/proc/$hushpad_pid/status")"
[[ "${HUSHPAD_E2E_MEASURE:-}" == 1 ]] && measure_idle_wakeups "XEmbed icon, unlocked"
start_xfce_panel 0.93
panel_pid=${helpers[-1]}
wait_for 10 "the item to be registered with the new watcher" item_registered
wait_for 10 "the XEmbed icon to go" bash -c "! xdotool search --name '^Hushpad (un)?locked$'"
wait_for 10 "the item to be drawn on the panel" find_item
shoot_item "$artifacts/sni-xfce-light-unlocked.png"
light=$(contrast_in "$artifacts/sni-xfce-light-unlocked.png")
echo "   on a light panel: contrast $light : 1"
awk '{exit !($1 >= 4.5)}' <<<"$light" || fail "the item reads at $light : 1 on a light panel"

step "6. a lock holds while the panel goes away: the item comes back to a tray, locked"
xdotool mousemove "$item_cx" "$item_cy" click 1
wait_for 10 "the lock" item_locked
# Xfce's notification area took the XEmbed tray over from trayer; a new trayer
# comes in its place.
kill "$panel_pid" "$tray_pid"
wait "$panel_pid" "$tray_pid" 2>/dev/null || true
wait_for 10 "the XEmbed icon back, locked" icon_title_is "Hushpad locked"
start_tray --distance 100
wait_for 10 "the tray to embed it" icon_embedded
hushpad_holds_input || fail "the lock ended with the panel"
mark_window >/dev/null || fail "the unlock mark went with the panel"
click_mark
wait_for 10 "the icon to read \"Hushpad unlocked\"" icon_title_is "Hushpad unlocked"
hushpad_holds_input && fail "still held after the click on the mark"
kill -TERM "$hushpad_pid"
expect_exit 0

step "7. a watcher that refuses the item, and no session bus at all: the XEmbed icon"
refusals=$work/refusals.log
/usr/bin/python3 "$e2e_dir/refusing_watcher.py" "$refusals" >"$work/refusing-watcher.out" 2>&1 &
helpers+=($!)
wait_for 10 "the refusing watcher" grep -qx ready "$refusals"
start_hushpad
grep -q "^refused org.kde.StatusNotifierItem-$hushpad_pid-" "$refusals" ||
  fail "the item was never offered to the watcher"
grep -q 'refused the item' "$hushpad_log" || fail "the refusal was not told"
kill -TERM "$hushpad_pid"
expect_exit 0
DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus start_hushpad
lock
unlock
kill -TERM "$hushpad_pid"
expect_exit 0

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
