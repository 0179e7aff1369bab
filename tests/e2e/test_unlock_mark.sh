#!/usr/bin/env bash
# The unlock mark: Hushpad's own "locked" mark over the tray icon, the one
# place besides the icon where a release unlocks. A real tray (trayer), a real
# client (xev), input through XTEST.
source "$(dirname "$0")/lib.sh"

mark_window() { xdotool search --onlyvisible --name '^Hushpad is locked$' 2>/dev/null | head -n 1 | grep .; }
mark_gone() { ! mark_window; }
# The mark is the topmost window: the root's children run bottom to top.
mark_on_top() {
  local mark
  mark=$(mark_window) || return 1
  [[ $(xwininfo -root -children | grep -oE '^ +0x[0-9a-f]+' | head -n 1 | tr -d ' ') == \
    "$(printf '0x%x' "$mark")" ]]
}
# Clicks at x y with the left button, then moves to the client and presses a
# key there: a click that unlocked would let the key through.
click_then_key() { xdotool mousemove "$1" "$2" click 1 mousemove "$client_x" "$client_y" key k; }

step "desktop: Xvfb, trayer 40 px in from the top right corner, xev"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
helpers+=($!)
wait_for_display
start_tray --margin 40 --distance 40
start_client
set_user_settings
start_hushpad
screen_h=$(xwininfo -root | awk '/Height:/ {print $2}')

step "1. a lock shows the mark over the icon, by the time the icon reads locked"
clicked=$(now_ms)
click_icon 1
wait_for 10 "the icon to read locked" icon_title_is "Hushpad locked"
mark_window >/dev/null || fail "the icon reads locked before the mark is shown"
echo "   the mark was up $(($(now_ms) - clicked)) ms after the click"
read -r mark_x mark_y mark_w mark_h < <(window_geometry "$(mark_window)")
echo "   icon ${icon_w}x${icon_h}+${icon_x}+${icon_y}, mark ${mark_w}x${mark_h}+${mark_x}+${mark_y}"
[[ "$mark_x $mark_y $mark_w $mark_h" == "$icon_x $icon_y $icon_w $icon_h" ]] ||
  fail "the mark is not over the icon"
icon_title_is "Hushpad locked" || fail "the icon does not read locked"
import -window root -crop "$((mark_w + 8))x$((mark_h + 8))+$((mark_x - 4))+$((mark_y - 4))" +repage \
  "$artifacts/unlock-mark.png"

step "2. a release on the mark unlocks and takes it away"
xdotool mousemove "$((mark_x + mark_w / 2))" "$((mark_y + mark_h / 2))" mousedown 1
icon_title_is "Hushpad locked" || fail "the press unlocked before the release"
xdotool mouseup 1
wait_for 5 "the icon to read unlocked" icon_title_is "Hushpad unlocked"
wait_for 5 "the mark to go" mark_gone

step "3. 13 px from the icon on any side, or at its mirror image, stays locked"
sides=(left right below above)
at() {  # at SIDE DISTANCE: a point DISTANCE pixels outside the icon on SIDE
  case $1 in
    left) echo "$((icon_x - $2)) $icon_cy" ;;
    right) echo "$((icon_x + icon_w - 1 + $2)) $icon_cy" ;;
    below) echo "$icon_cx $((icon_y + icon_h - 1 + $2))" ;;
    above) echo "$icon_cx $((icon_y - $2))" ;;
  esac
}
lock
mark_window >/dev/null || fail "no unlock mark"
mark=$(xev_lines)
for side in "${sides[@]}"; do
  read -r x y < <(at "$side" 13)
  click_then_key "$x" "$y"
done
click_then_key "$icon_cx" "$((screen_h - 1 - icon_cy))"  # the icon's vertical mirror
xdotool mousemove "$icon_cx" "$((screen_h - 1 - icon_cy))" click 3
icon_title_is "Hushpad locked" || fail "a release outside the margin unlocked"

step "4. a window raised over the mark is put back under it"
stdbuf -oL xev -geometry "60x60+$((mark_x - 10))+$((mark_y - 10))" -name cover >"$work/cover.log" 2>&1 &
cover_pid=$!
helpers+=($!)
wait_for 5 "the covering window to be mapped" grep -q MapNotify "$work/cover.log"
wait_for 5 "the mark to be on top of the covering window" mark_on_top
xdotool windowraise "$(xdotool search --name '^cover$' | head -n 1)"
wait_for 5 "the mark to be on top again after a raise" mark_on_top
kill "$cover_pid"

step "   nothing reached the client while locked"
unlock
wait_for 5 "the mark to go" mark_gone
xdotool mousemove "$client_x" "$client_y" key z
wait_for 5 "the client to receive the key z after unlocking" client_got_key "$mark" z
held=$(client_input_since "$mark")
[[ "$held" == "keysym 0x7a, z)" ]] || fail "input reached the client while locked: $held"

step "5. a release 12 px from the icon on each side unlocks"
for side in "${sides[@]}"; do
  lock
  read -r x y < <(at "$side" 12)
  xdotool mousemove "$x" "$y" click 1
  wait_for 5 "a release 12 px $side of the icon to unlock" icon_title_is "Hushpad unlocked"
done
wait_for 5 "the mark to go" mark_gone

kill -TERM "$hushpad_pid"
expect_exit 0
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
