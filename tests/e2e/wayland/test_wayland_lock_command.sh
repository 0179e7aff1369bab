#!/usr/bin/env bash
# Locking from where you are, on sway with waybar's tray: `hushpad --lock`
# from another process covers the outputs with the mark where the pointer is,
# `--unlock` lifts the cover; with no Hushpad running both say so and exit 1;
# `gapplication action app.hushpad.Hushpad lock` locks; the GlobalShortcuts
# portal (a stand-in on the session bus) gets the shortcut "lock", whose
# presses lock and never unlock; the item's menu (dbusmenu) shows "Start at
# Login" as a checkmark that writes and removes a validated autostart entry.
source "$(dirname "$0")/lib.sh"

for tool in gapplication desktop-file-validate; do
  command -v "$tool" >/dev/null || fail "$tool is missing"
done
# Written by the stand-in, which runs as the session's user.
portal_log=$wl_marks/portal.log
autostart=$XDG_CONFIG_HOME/autostart/hushpad.desktop
desktop_file=$wl_dir/../../../src/platform/linux/hushpad.desktop
cp "$hushpad" "$wl_dir/../shortcuts_portal.py" "$wl_files"/

# The plate inside the 24 px square centred at X Y (give or take the
# compositor's rounding of a pixel), and over X Y.
mark_at() {
  local px py pw ph
  read -r px py pw ph <<<"$(mark_box "$1" "$2")" || return 1
  (($1 - 13 <= px && px + pw <= $1 + 13 && $2 - 13 <= py && py + ph <= $2 + 13)) &&
    ((px <= $1 && $1 < px + pw && py <= $2 && $2 < py + ph))
}
locked() { item_reads 'Hushpad: locked'; }
unlocked() { item_reads 'Hushpad: unlocked'; }
run_command() {
  command_status=0
  command_said=$(as_wl_user "$wl_files/hushpad" "$@" 2>&1) || command_status=$?
}
press_shortcut() {
  gdbus call --session --dest org.freedesktop.portal.Desktop \
    --object-path /org/freedesktop/portal/desktop --method org.hushpad.TestHooks.Press "$1" \
    >/dev/null
}
portal_logged() { grep -q -- "$1" "$portal_log" 2>/dev/null; }
# Returns once Hushpad's main loop has handled what reached it before.
hushpad_caught_up() {
  local i
  for i in 1 2; do
    gdbus call --session --dest app.hushpad.Hushpad --object-path /app/hushpad/Hushpad \
      --method org.gtk.Actions.List >/dev/null || fail "Hushpad does not answer on the bus"
  done
}
# The item's menu, as the panel reads it: "ID TITLE|toggle-state" per item.
menu_items() {
  gdbus call --session --dest "$(item_name)" --object-path /MenuBar \
    --method com.canonical.dbusmenu.AboutToShow 0 >/dev/null
  gdbus call --session --dest "$(item_name)" --object-path /MenuBar \
    --method com.canonical.dbusmenu.GetLayout 0 'int32 -1' '@as []' | /usr/bin/python3 -c '
import re, sys
for id, props in re.findall(r"<\((\d+), \{([^}]*)\}", sys.stdin.read()):
    label = re.search(r"'"'"'label'"'"': <'"'"'([^'"'"']*)'"'"'>", props)
    state = re.search(r"'"'"'toggle-state'"'"': <(\d+)>", props)
    if label:
        print(id, label.group(1) + "|" + (state.group(1) if state else "-"))
'
}
# Clicks the item titled $1 in the panel's way (dbusmenu's Event).
choose_in_menu() {
  local id
  id=$(menu_items | grep -F " $1|" | cut -d' ' -f1)
  [[ -n "$id" ]] || fail "no menu item $1: $(menu_items)"
  gdbus call --session --dest "$(item_name)" --object-path /MenuBar \
    --method com.canonical.dbusmenu.Event "$id" clicked '<0>' 0 >/dev/null
}
start_at_login_reads() { menu_items | grep -qxE "[0-9]+ Start at Login\|$1"; }

step "sway with two outputs, waybar's tray on the second"
start_sway
start_waybar

step "1. with no Hushpad running, --lock and --unlock say so and exit 1"
for option in --lock --unlock; do
  run_command "$option"
  ((command_status == 1)) || fail "$option exited with $command_status: $command_said"
  [[ "$command_said" == "Hushpad is not running." ]] || fail "$option said: $command_said"
done
bus_name_has_owner app.hushpad.Hushpad && fail "a command left app.hushpad.Hushpad on the bus"

step "2. Hushpad starts with the GlobalShortcuts portal (a stand-in) on its session bus"
"${wl_run[@]}" /usr/bin/python3 "$wl_files/shortcuts_portal.py" "$portal_log" \
  >"$work/portal-out.log" 2>&1 &
helpers+=($!)
wait_for 10 "the stand-in portal" bus_name_has_owner org.freedesktop.portal.Desktop
"${wl_run[@]}" "$wl_files/hushpad" >>"$hushpad_log" 2>&1 &
hushpad_pid=$!
wait_for 10 "the item to be drawn in waybar" find_tray_item_in_waybar
wait_for 10 "the shortcut \"lock\" to be bound" portal_logged "^bind lock CTRL+ALT+LOGO+l "

step "3. hushpad --lock from another process covers the output, the mark at the pointer"
wl_move 500 400
run_command --lock
((command_status == 0)) || fail "--lock exited with $command_status: $command_said"
wait_for 10 "the lock from --lock" locked
wait_for 5 "the mark at the pointer (500,400)" mark_at 500 400
wl_screenshot "$artifacts/wayland-lock-command.png"

step "   a second --lock and the shortcut pressed twice leave it locked, the mark where it was"
run_command --lock
press_shortcut lock
press_shortcut lock
hushpad_caught_up
locked || fail "a lock request while locked unlocked"
mark_at 500 400 || fail "a lock request while locked moved the mark"

step "4. hushpad --unlock lifts the cover"
run_command --unlock
((command_status == 0)) || fail "--unlock exited with $command_status: $command_said"
wait_for 10 "the unlock from --unlock" unlocked
mark_gone() { ! mark_box 500 400; }
wait_for 5 "the mark to go" mark_gone

step "5. gapplication action app.hushpad.Hushpad lock locks"
wl_move 300 600
as_wl_user gapplication action app.hushpad.Hushpad lock
wait_for 10 "the lock from gapplication" locked
wait_for 5 "the mark at the pointer (300,600)" mark_at 300 600
as_wl_user gapplication action app.hushpad.Hushpad unlock
wait_for 10 "the unlock from gapplication" unlocked

step "6. the portal's shortcut \"lock\" locks; pressed again, it stays locked"
wl_move 900 300
press_shortcut lock
wait_for 10 "the lock from the shortcut" locked
wait_for 5 "the mark at the pointer (900,300)" mark_at 900 300
press_shortcut lock
hushpad_caught_up
locked || fail "the shortcut pressed while locked unlocked"
run_command --unlock
wait_for 10 "the unlock" unlocked

step "7. \"Start at Login\" in the item's menu: a checkmark that writes and removes the entry"
start_at_login_reads 0 || fail "the menu reads: $(menu_items)"
choose_in_menu "Start at Login"
wait_for 5 "the autostart entry" test -s "$autostart"
wait_for 5 "the item checked" start_at_login_reads 1
unlocked || fail "choosing Start at Login locked"
desktop-file-validate "$autostart" >"$work/validate.log" 2>&1 ||
  { cat "$work/validate.log" >&2; fail "desktop-file-validate refused $autostart"; }
[[ "$(sed -n 's/^Exec=//p' "$autostart")" == "$wl_files/hushpad" ]] ||
  fail "the entry starts $(sed -n 's/^Exec=//p' "$autostart")"
choose_in_menu "Start at Login"
wait_for 5 "the autostart entry to go" test ! -e "$autostart"
wait_for 5 "the item unchecked" start_at_login_reads 0

step "8. the desktop file, validated, has the \"Lock Now\" action"
desktop-file-validate "$desktop_file" || fail "desktop-file-validate refused $desktop_file"
grep -qx 'Exec=hushpad --lock' "$desktop_file" || fail "no action running hushpad --lock"

kill -TERM "$hushpad_pid"
expect_exit 0
echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
