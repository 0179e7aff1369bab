#!/usr/bin/env bash
# The marks can be read on dark and light panels of two trays, trayer and
# Xfce's panel (which gives icons an alpha channel and draws them over the
# panel itself): the icon, unlocked and locked, and the unlock mark are
# screenshot into the artifacts with their contrast, which must be at least
# 4.5 : 1 (WCAG AA): the icon's against the panel, the unlock mark's against
# its own plate.
source "$(dirname "$0")/lib.sh"

contrast_of() { convert "$1" txt:- | /usr/bin/python3 "$e2e_dir/contrast.py"; }
# The icon's own square in a screenshot of it (shoot_icon, 4 px around it
# where the screen has them): its corner shows the panel, where the mark never draws.
icon_contrast() {
  convert "$1" -crop "${icon_w}x${icon_h}+$((icon_x < 4 ? icon_x : 4))+$((icon_y < 4 ? icon_y : 4))" \
    +repage txt:- | /usr/bin/python3 "$e2e_dir/contrast.py"
}
# Screenshots the icon into $1 and passes when its contrast reaches 4.5.
readable() {
  shoot_icon "$1" && awk '{exit !($1 >= 4.5)}' <<<"$(icon_contrast "$1")"
}
mark_window() { xdotool search --onlyvisible --name '^Hushpad is locked$' 2>/dev/null | head -n 1 | grep .; }

start_xvfb
set_user_settings

for panel in trayer:dark:0x000000 trayer:light:0xffffff xfce:dark:0.12 xfce:light:0.93; do
  IFS=: read -r tray name colour <<<"$panel"
  shot=$artifacts/$tray-$name-panel
  step "the $name panel of $tray ($colour)"
  if [[ $tray == trayer ]]; then
    start_tray --transparent true --alpha 0 --tint "$colour"
  else
    start_xfce_panel "$colour"
  fi
  tray_pid=${helpers[-1]}
  # Xfce's panel would take a StatusNotifierItem (its own test measures that).
  start_hushpad --xembed
  wait_for 10 "the unlocked mark to read on the $name panel" readable "$shot-unlocked.png"
  unlocked=$(icon_contrast "$shot-unlocked.png")
  lock
  wait_for 5 "the unlock mark" mark_window
  read -r x y w h < <(window_geometry "$(mark_window)")
  # The icon is under the mark: its look shows once the mark has gone aside.
  xdotool windowunmap "$(mark_window)"
  wait_for 10 "the locked mark to read on the $name panel" readable "$shot-locked.png"
  locked=$(icon_contrast "$shot-locked.png")
  xdotool windowmap "$(xdotool search --name '^Hushpad is locked$' | head -n 1)"
  wait_for 5 "the unlock mark back" mark_window
  import -window root -crop "$((w + 8))x$((h + 8))+$((x - 4))+$((y - 4))" +repage "$shot-mark.png"
  # Inside its rim: the plate and the mark on it.
  import -window root -crop "$((w / 2))x$((h / 2))+$((x + w / 4))+$((y + h / 4))" +repage \
    "$work/plate.png"
  plate=$(contrast_of "$work/plate.png")
  awk '{exit !($1 >= 4.5)}' <<<"$plate" || fail "the unlock mark reads at $plate : 1 on its plate"
  echo "   contrast: unlocked $unlocked : 1, locked $locked : 1, unlock mark $plate : 1"
  unlock
  kill -TERM "$hushpad_pid"
  expect_exit 0
  kill "$tray_pid"
  wait "$tray_pid" 2>/dev/null || true  # gone, with its hold on the tray selection
done

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
