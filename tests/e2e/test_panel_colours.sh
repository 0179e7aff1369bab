#!/usr/bin/env bash
# The mark can be read on dark and light panels: trayer tinted black and white,
# both forms of the mark screenshot into the artifacts with the contrast of the
# mark against the panel, which must be at least 4.5 : 1 (WCAG AA).
source "$(dirname "$0")/lib.sh"

contrast_of() { convert "$1" txt:- | /usr/bin/python3 "$e2e_dir/contrast.py"; }
# Screenshots the icon into $1 and passes when its contrast reaches 4.5.
readable() {
  shoot_icon "$1" && awk '{exit !($1 >= 4.5)}' <<<"$(contrast_of "$1")"
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
helpers+=($!)
wait_for_display
set_user_settings

for panel in dark:0x000000 light:0xffffff; do
  name=${panel%%:*}
  step "the $name panel (trayer tinted ${panel#*:})"
  start_tray --transparent true --alpha 0 --tint "${panel#*:}"
  tray_pid=${helpers[-1]}
  start_hushpad
  wait_for 10 "the unlocked mark to read on the $name panel" \
    readable "$artifacts/icon-unlocked-$name-panel.png"
  lock
  wait_for 10 "the locked mark to read on the $name panel" \
    readable "$artifacts/icon-locked-$name-panel.png"
  echo "   contrast: unlocked $(contrast_of "$artifacts/icon-unlocked-$name-panel.png") : 1," \
    "locked $(contrast_of "$artifacts/icon-locked-$name-panel.png") : 1"
  unlock
  kill -TERM "$hushpad_pid"
  expect_exit 0
  kill "$tray_pid"
  wait "$tray_pid" 2>/dev/null || true  # gone, with its hold on the tray selection
done

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
