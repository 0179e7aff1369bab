#!/usr/bin/env bash
# Locking from where you are, in a headless X server with trayer: `hushpad
# --lock` from another process locks with the mark at the pointer and
# `--unlock` unlocks; with no Hushpad running both say so, exit 1 and start
# nothing; `gapplication action app.hushpad.Hushpad lock` locks; the
# GlobalShortcuts portal (a stand-in on this test's session bus) gets the
# shortcut "lock", whose every press locks and none unlocks; the menu's
# "Start at Login" writes and removes the autostart entry, which
# desktop-file-validate passes; the desktop file's "Lock Now" action.
source "$(dirname "$0")/lib.sh"

for tool in gapplication desktop-file-validate; do
  command -v "$tool" >/dev/null || fail "$tool is missing"
done
portal_log=$work/portal.log
autostart=$XDG_CONFIG_HOME/autostart/hushpad.desktop
desktop_file=$e2e_dir/../../src/platform/linux/hushpad.desktop

mark_window() { xdotool search --onlyvisible --name '^Hushpad is locked$' 2>/dev/null | head -n 1 | grep .; }
mark_gone() { ! mark_window; }
# The mark is centred where the pointer was when the lock came.
mark_at() {
  local x y w h
  read -r x y w h < <(window_geometry "$(mark_window)")
  ((x <= $1 && $1 < x + w && y <= $2 && $2 < y + h))
}
locked() { icon_title_is "Hushpad locked" && hushpad_holds_input; }
unlocked() { icon_title_is "Hushpad unlocked" && ! hushpad_holds_input && mark_gone; }
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
# Runs `hushpad OPTION`, keeping its status in command_status and what it said
# in command_said.
run_command() {
  command_status=0
  command_said=$("$hushpad" "$@" 2>&1) || command_status=$?
}
press_shortcut() {
  gdbus call --session --dest org.freedesktop.portal.Desktop \
    --object-path /org/freedesktop/portal/desktop --method org.hushpad.TestHooks.Press "$1" \
    >/dev/null
}
# Returns once Hushpad's main loop has handled what reached it before: each
# call is answered from that loop, after the requests queued ahead of it.
hushpad_caught_up() {
  local i
  for i in 1 2; do
    gdbus call --session --dest app.hushpad.Hushpad --object-path /app/hushpad/Hushpad \
      --method org.gtk.Actions.List >/dev/null || fail "Hushpad does not answer on the bus"
  done
}
portal_logged() { grep -q -- "$1" "$portal_log" 2>/dev/null; }

# ===================================================================================

step "desktop: Xvfb, trayer, xev"
start_desktop
set_user_settings

step "1. with no Hushpad running, --lock and --unlock say so, exit 1 and start nothing"
for option in --lock --unlock; do
  run_command "$option"
  ((command_status == 1)) || fail "$option exited with $command_status: $command_said"
  [[ "$command_said" == "Hushpad is not running." ]] || fail "$option said: $command_said"
done
gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.NameHasOwner app.hushpad.Hushpad | grep -q false ||
  fail "a command left app.hushpad.Hushpad on the bus"
icon_window >/dev/null && fail "a command showed an icon"
pgrep -f "^$hushpad" >/dev/null && fail "a command left a Hushpad process"
run_command --lock --unlock
((command_status == 2)) || fail "--lock --unlock together exited with $command_status"
# No session bus at all (over ssh without one): still said, still 1.
command_status=0
command_said=$(env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$work/nowhere" \
  "$hushpad" --unlock 2>&1) || command_status=$?
((command_status == 1)) && [[ "$command_said" == "Hushpad is not running: there is no session bus"* ]] ||
  fail "--unlock with no session bus exited with $command_status: $command_said"

step "2. Hushpad starts with the GlobalShortcuts portal (a stand-in) on its session bus"
/usr/bin/python3 "$e2e_dir/shortcuts_portal.py" "$portal_log" >"$work/portal.out" 2>&1 &
helpers+=($!)
wait_for 10 "the stand-in portal" gdbus introspect --session --dest org.freedesktop.portal.Desktop \
  --object-path /org/freedesktop/portal/desktop
start_hushpad
wait_for 10 "the shortcut \"lock\" to be bound" portal_logged "^bind lock "
bound=$(grep '^bind ' "$portal_log")
[[ "$bound" == "bind lock CTRL+ALT+LOGO+l "* && $(wc -l <<<"$bound") == 1 ]] ||
  fail "the portal was asked for: $bound"
portal_logged "^register app.hushpad.Hushpad$" || fail "no Registry.Register with the app id"

step "3. hushpad --lock from another process locks, the mark at the pointer"
xdotool mousemove 600 500
run_command --lock
((command_status == 0)) || fail "--lock exited with $command_status: $command_said"
wait_for 10 "the lock from --lock" locked
wait_for 5 "the unlock mark" mark_window
mark_at 600 500 || fail "the mark is at $(window_geometry "$(mark_window)"), the pointer at 600,500"
wait_for 10 "the touchpad settings to be switched off" all_switched_off
mark=$(xev_lines)
xdotool mousemove "$client_x" "$client_y" key b click 1

step "   a second --lock, and the shortcut pressed twice, leave it locked"
run_command --lock
((command_status == 0)) || fail "--lock while locked exited with $command_status"
press_shortcut lock
press_shortcut lock
press_shortcut unlock  # no such shortcut: nothing
hushpad_caught_up
locked || fail "a lock request while locked unlocked"
mark_at 600 500 || fail "a lock request while locked moved the mark"

step "4. hushpad --unlock unlocks; nothing typed while locked reached the client"
run_command --unlock
((command_status == 0)) || fail "--unlock exited with $command_status: $command_said"
wait_for 10 "the unlock from --unlock" unlocked
wait_for 10 "the user's touchpad settings to be restored" user_settings_restored
xdotool mousemove "$client_x" "$client_y" key z
wait_for 5 "the client to receive the key z" client_got_key "$mark" z
held=$(client_input_since "$mark")
[[ "$held" == "keysym 0x7a, z)" ]] || fail "input reached the client while locked: $held"
run_command --unlock
((command_status == 0)) && unlocked || fail "--unlock while unlocked did not leave it unlocked"

step "5. gapplication action app.hushpad.Hushpad lock locks; unlock unlocks"
xdotool mousemove 300 200
gapplication action app.hushpad.Hushpad lock
wait_for 10 "the lock from gapplication" locked
wait_for 5 "the unlock mark" mark_window
mark_at 300 200 || fail "the mark is at $(window_geometry "$(mark_window)"), the pointer at 300,200"
gapplication action app.hushpad.Hushpad unlock
wait_for 10 "the unlock from gapplication" unlocked

step "6. the portal's shortcut \"lock\" locks, the mark at the pointer; pressed again, it stays locked"
xdotool mousemove 700 300
press_shortcut lock
wait_for 10 "the lock from the shortcut" locked
wait_for 5 "the unlock mark" mark_window
mark_at 700 300 || fail "the mark is at $(window_geometry "$(mark_window)"), the pointer at 700,300"
press_shortcut lock
hushpad_caught_up
locked || fail "the shortcut pressed while locked unlocked"
click_icon 1
wait_for 10 "the unlock from a click on the icon" unlocked

step "7. \"Start at Login\" in the menu writes the autostart entry, then removes it"
choose_start_at_login() {
  click_icon 3
  wait_for 10 "the menu to open" menu_window
  # Lock Now, Start at Login, a separator, Quit Hushpad: two up from the end.
  xdotool key Up Up Return
  wait_for 10 "the menu to close" menu_closed
}
[[ -e "$autostart" ]] && fail "an autostart entry before Start at Login was chosen"
choose_start_at_login
wait_for 5 "the autostart entry" test -s "$autostart"
icon_title_is "Hushpad unlocked" || fail "choosing Start at Login locked"
desktop-file-validate "$autostart" >"$work/validate.log" 2>&1 ||
  { cat "$work/validate.log" >&2; fail "desktop-file-validate refused $autostart"; }
[[ "$(sed -n 's/^Exec=//p' "$autostart")" == "$hushpad" ]] ||
  fail "the entry starts $(sed -n 's/^Exec=//p' "$autostart"), not $hushpad"
ls "$(dirname "$autostart")" | grep -vqx hushpad.desktop && fail "a temporary file was left"
cp "$autostart" "$artifacts/autostart-hushpad.desktop"
choose_start_at_login
wait_for 5 "the autostart entry to go" test ! -e "$autostart"

step "8. the desktop file passes desktop-file-validate and has the \"Lock Now\" action"
desktop-file-validate "$desktop_file" || fail "desktop-file-validate refused $desktop_file"
[[ "$(sed -n '/^\[Desktop Action lock\]/,/^\[/p' "$desktop_file" | grep -E '^(Name|Exec)=')" == \
  $'Name=Lock Now\nExec=hushpad --lock' ]] || fail "no \"Lock Now\" action running hushpad --lock"
grep -qx 'Actions=lock;' "$desktop_file" || fail "the action is not listed in Actions"

step "9. a second Hushpad in the same session, on another display, leaves at once"
second_display=$work/display2
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$second_display" \
  >"$work/xvfb2.log" 2>&1 &
helpers+=($!)
wait_for 15 "the second X server" test -s "$second_display"
second=$(DISPLAY=:$(head -n 1 "$second_display") timeout 15 "$hushpad" 2>&1) ||
  fail "the second Hushpad exited with $?: $second"
[[ "$second" == "Hushpad is already running in this session." ]] ||
  fail "the second Hushpad said: $second"

kill -TERM "$hushpad_pid"
expect_exit 0
user_settings_restored || fail "the touchpad settings were not left as the user had them"
run_command --lock
((command_status == 1)) || fail "--lock after Hushpad ended exited with $command_status"
if grep -E '(CRITICAL|WARNING|Gtk-|GLib-|GLib-GObject-)' "$hushpad_log" >&2; then
  fail "Hushpad's output has GLib warnings or criticals"
fi

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
