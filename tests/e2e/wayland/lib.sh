#!/usr/bin/env bash
# Shared by the end-to-end tests under Wayland: sourced by each
# tests/e2e/wayland/test_*.sh, which is called as `test_X.sh /path/to/hushpad`
# with HUSHPAD_WL_POINTER and HUSHPAD_WL_KEYBOARD naming the wl_pointer and
# wl_keyboard tools built with the tests.
#
# Builds on ../lib.sh (work folder, private HOME and settings, wait_for, fail,
# cleanup of the helpers) and adds a headless sway with its own session bus,
# waybar's tray, wev as the client, input through wtype (virtual keyboard) and
# wl_pointer (virtual pointer), a keyboard held plugged in (wl_keyboard), and
# screenshots with grim.
#
# sway will not run as root, so when the tests run as root everything of the
# Wayland session runs as $wl_user through as_wl_user: the work folder's HOME,
# XDG_* folders and runtime folder are handed to that user, and the session bus
# lets root call in as well (gdbus from this script).

source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

wl_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
for tool in sway swaymsg swaybg waybar wev wtype grim gdbus dbus-daemon jq setpriv stdbuf; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup-debian.sh --tests)"
done
[[ -x "${HUSHPAD_WL_POINTER:-}" ]] || fail "HUSHPAD_WL_POINTER must name the wl_pointer tool"
[[ -x "${HUSHPAD_WL_KEYBOARD:-}" ]] || fail "HUSHPAD_WL_KEYBOARD must name the wl_keyboard tool"

if ((EUID == 0)); then
  wl_user=nobody
  wl_group=nogroup
  # The user can pass through the work folder, but only into what is its own.
  chmod 711 "$work"
  chown "$wl_user:$wl_group" "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" \
    "$XDG_RUNTIME_DIR"
else
  wl_user=$(id -un)
fi

# "${wl_run[@]}" COMMAND... runs COMMAND as the session's user, in this
# environment; started in the background that way, $! is COMMAND's own pid
# (setpriv execs it), which a function in the background would not give.
wl_run=()
((EUID == 0)) && wl_run=(setpriv --reuid="$wl_user" --regid="$wl_group" --clear-groups --)
as_wl_user() { "${wl_run[@]}" "$@"; }

# What the session's user runs or reads, copied out of the checkout, which
# that user may not be able to read.
wl_files=$work/wl-files
mkdir -p "$wl_files"
cp "$wl_dir/waybar.json" "$wl_dir/waybar.css" "$wl_dir/sni_item.py" "$HUSHPAD_WL_POINTER" \
  "$HUSHPAD_WL_KEYBOARD" "$wl_files"/
wl_pointer_tool=$wl_files/$(basename "$HUSHPAD_WL_POINTER")
wl_keyboard_tool=$wl_files/$(basename "$HUSHPAD_WL_KEYBOARD")
# Where the test bindings of sway.conf touch their files.
wl_marks=$work/marks
mkdir -p "$wl_marks"
((EUID == 0)) && chown "$wl_user:$wl_group" "$wl_marks"
wev_log=$work/wev.log

# --- the session bus -------------------------------------------------------------

# start_private_bus NAME: a bus at $XDG_RUNTIME_DIR/NAME, run by the session's
# user, that the test script (root) may call in too; sets wl_bus_address.
start_private_bus() {
  : >"$work/wl-$1"
  "${wl_run[@]}" dbus-daemon --nofork --nopidfile --config-file="$work/wl-bus.conf" \
    --address="unix:path=$XDG_RUNTIME_DIR/$1" --print-address=3 3>"$work/wl-$1" \
    >>"$work/wl-$1.log" 2>&1 &
  helpers+=($!)
  wait_for 10 "the private bus $1" test -s "$work/wl-$1"
  wl_bus_address=$(head -n 1 "$work/wl-$1")
}

start_wl_bus() {
  cat >"$work/wl-bus.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>/usr/share/dbus-1/session.conf</include>
  <!-- The test script, root, calls in too. -->
  <policy context="default"><allow user="root"/></policy>
</busconfig>
CONF
  start_private_bus bus
  export DBUS_SESSION_BUS_ADDRESS=$wl_bus_address
}

# A private system bus the session's user can use too, with the stand-in
# logind of the X11 tests (../login1_standin.py) on it.
start_wl_system_bus_with_login1() {
  start_private_bus system-bus
  export DBUS_SYSTEM_BUS_ADDRESS=$wl_bus_address
  start_login1
}

bus_name_has_owner() {
  [[ "$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1")" == "(true,)" ]]
}

# --- sway ------------------------------------------------------------------------

# start_sway [MODE...]: a session bus, then sway with one headless output per
# mode (default 1280x800 and 1024x768), side by side from the left, tops level,
# named HEADLESS-1, HEADLESS-2... Then a virtual pointer and a virtual keyboard
# held plugged in for the whole test (see wl_pointer.c and wl_keyboard.c), as a
# real session has them: sway itself starts with no input device.
start_sway() {
  local modes=("$@") colours=('#2b4f6e' '#6e4f2b' '#3c6e2b' '#6e2b5a') config=$work/sway.conf
  local i x=0 expected=""
  ((${#modes[@]})) || modes=(1280x800 1024x768)
  start_wl_bus
  sed "s|@MARKS@|$wl_marks|g" "$wl_dir/sway.conf" >"$config"
  for i in "${!modes[@]}"; do
    echo "output HEADLESS-$((i + 1)) mode ${modes[i]} position $x 0" \
      "bg ${colours[i % ${#colours[@]}]} solid_color" >>"$config"
    expected+="HEADLESS-$((i + 1)) $x 0 ${modes[i]/x/ }"$'\n'
    x=$((x + ${modes[i]%x*}))
  done
  export XDG_SESSION_TYPE=wayland SWAYSOCK=$XDG_RUNTIME_DIR/sway-ipc.sock
  "${wl_run[@]}" env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    WLR_HEADLESS_OUTPUTS=${#modes[@]} sway --config "$config" >>"$work/sway.log" 2>&1 &
  helpers+=($!)
  wait_for 20 "sway to answer on its IPC socket" swaymsg -t get_version
  # sway names its socket itself, from wayland-1 on; the runtime folder is new.
  wait_for 10 "sway's Wayland socket" compgen -G "$XDG_RUNTIME_DIR/wayland-[0-9]"
  WAYLAND_DISPLAY=$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-[0-9]" | head -n 1)")
  export WAYLAND_DISPLAY
  wait_for 10 "sway's outputs to be laid out" outputs_are "${expected%$'\n'}"

  "${wl_run[@]}" "$wl_pointer_tool" hold >>"$work/wl-pointer-hold.log" 2>&1 &
  helpers+=($!)
  wait_for 10 "the virtual pointer to be plugged in" grep -qx ready "$work/wl-pointer-hold.log"
  "${wl_run[@]}" "$wl_keyboard_tool" hold >>"$work/wl-keyboard-hold.log" 2>&1 &
  helpers+=($!)
  wait_for 10 "the virtual keyboard to be plugged in" grep -qx ready "$work/wl-keyboard-hold.log"
}

# One line per active output: NAME X Y WIDTH HEIGHT (layout coordinates).
wl_outputs() {
  swaymsg -r -t get_outputs |
    jq -r '.[] | select(.active) | "\(.name) \(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height)"'
}

outputs_are() { [[ "$(wl_outputs)" == "$1" ]]; }

# Whether a file of the test bindings (sway.conf) is there: f9, mod4-return.
binding_fired() { [[ -e "$wl_marks/$1" ]]; }

# --- input and screenshots -------------------------------------------------------

# wtype, with 150 ms before the first key: its virtual keyboard is new each
# run, and a client (GTK above all) needs the time to take the new keymap.
wl_type() { as_wl_user wtype -s 150 "$@"; }

# Layout coordinates; BUTTON left (default), right or middle.
wl_move() { as_wl_user "$wl_pointer_tool" move "$1" "$2"; }
wl_click() { as_wl_user "$wl_pointer_tool" click "$1" "$2" "${3:-left}"; }
wl_press() { as_wl_user "$wl_pointer_tool" press "$1" "$2" "${3:-left}"; }
wl_release() { as_wl_user "$wl_pointer_tool" release "$1" "$2" "${3:-left}"; }
# wl_scroll X Y STEPS: wheel steps, positive down.
wl_scroll() { as_wl_user "$wl_pointer_tool" scroll "$1" "$2" "$3"; }

# wl_screenshot FILE [X,Y WxH]: PNG of the layout, or of that region of it.
wl_screenshot() { as_wl_user grim ${2:+-g "$2"} - >"$1"; }

# The colour (rrggbb) of the pixel at X Y.
wl_pixel() {
  as_wl_user grim -t ppm -g "$1,$2 1x1" - | tail -c 3 | od -An -tx1 | tr -d ' \n'
}

# --- waybar ---------------------------------------------------------------------------

# As in waybar.json and waybar.css.
bar_output=HEADLESS-2
bar_height=30
bar_background=202020

# Sets bar_x, bar_y, bar_w (the bar spans its output's width, at the top).
read_bar_geometry() {
  read -r _ bar_x bar_y bar_w _ < <(wl_outputs | grep "^$bar_output ") ||
    fail "no output $bar_output for waybar"
}

bar_drawn() { [[ "$(wl_pixel "$bar_x" "$bar_y")" == "$bar_background" ]]; }

# waybar with its tray alone, across the top of $bar_output; it brings its own
# org.kde.StatusNotifierWatcher.
start_waybar() {
  read_bar_geometry
  "${wl_run[@]}" waybar --config "$wl_files/waybar.json" --style "$wl_files/waybar.css" \
    >>"$work/waybar.log" 2>&1 &
  helpers+=($!)
  wait_for 15 "waybar to own org.kde.StatusNotifierWatcher" \
    bus_name_has_owner org.kde.StatusNotifierWatcher
  wait_for 15 "waybar to be drawn" bar_drawn
}

# find_tray_item_in_waybar [N]: prints the centre "X Y" (layout coordinates) of
# the Nth icon from the left (default the first) in a screenshot of the bar:
# icons are runs of columns holding anything but the bar's background. Fails
# while there are fewer than N.
find_tray_item_in_waybar() {
  local n=${1:-1} centres
  centres=$(as_wl_user grim -t ppm -g "$bar_x,$bar_y ${bar_w}x$bar_height" - |
    /usr/bin/python3 -c '
import sys
f = sys.stdin.buffer
f.readline()
w, h = map(int, f.readline().split())
f.readline()
px = f.read()
bg = bytes.fromhex(sys.argv[3])
def differs(x, y):
    i = 3 * (y * w + x)
    return max(abs(a - b) for a, b in zip(px[i:i + 3], bg)) > 32
runs, start = [], None
for x in range(w + 1):
    hit = x < w and any(differs(x, y) for y in range(h))
    if hit and start is None:
        start = x
    elif not hit and start is not None:
        rows = [y for y in range(h) if any(differs(c, y) for c in range(start, x))]
        runs.append(((start + x - 1) // 2, (rows[0] + rows[-1]) // 2))
        start = None
for cx, cy in runs:
    print(int(sys.argv[1]) + cx, int(sys.argv[2]) + cy)
' "$bar_x" "$bar_y" "$bar_background") || return 1
  [[ -n "$centres" ]] && sed -n "${n}p" <<<"$centres" | grep .
}

# --- wev, the client ------------------------------------------------------------------

# Whether wev's window has the keyboard focus, by sway's tree.
wev_focused() {
  swaymsg -r -t get_tree | jq -e '[.. | objects | select(.app_id? == "wev" and .focused)] | length == 1'
}

# Sets wev_x, wev_y, wev_w, wev_h (its surface, inside the border) and the
# centre wev_cx, wev_cy.
read_wev_geometry() {
  read -r wev_x wev_y wev_w wev_h < <(swaymsg -r -t get_tree | jq -r '.. | objects |
    select(.app_id? == "wev") | "\(.rect.x + .window_rect.x) \(.rect.y + .window_rect.y)" +
    " \(.window_rect.width) \(.window_rect.height)"')
  [[ -n "${wev_h:-}" ]] || fail "wev has no window"
  wev_cx=$((wev_x + wev_w / 2))
  wev_cy=$((wev_y + wev_h / 2))
}

# wev in a window of its own, tiled on the focused output (the first at the
# start), with the keyboard focus; its events go to $wev_log.
start_wev() {
  "${wl_run[@]}" stdbuf -oL wev >"$wev_log" 2>&1 &
  helpers+=($!)
  wait_for 15 "wev's window to have the keyboard focus" wev_focused
  read_wev_geometry
}

# The pointer over wev, which gives it the keyboard focus back (focus follows
# the mouse). The pointer on another output, over the bar too, takes the focus
# to that output's workspace.
focus_wev() {
  wl_move "$wev_cx" "$wev_cy"
  wait_for 5 "wev to have the keyboard focus" wev_focused
}

wev_lines() { wc -l <"$wev_log"; }
# wev's lines from line $1 on.
wev_since() { tail -n "+$(($1 + 1))" "$wev_log"; }
# wev_got_key MARK KEYSYM: a press of KEYSYM (a, Return, F9...).
wev_got_key() {
  wev_since "$1" | grep -A 1 'state: 1 (pressed)' | grep -Eq "sym: $2 +\("
}
# wev_got_button MARK [BUTTON [pressed|released]]: left, right, middle.
wev_got_button() {
  local state=1
  [[ "${3:-pressed}" == released ]] && state=0
  wev_since "$1" | grep -Eq "button: [0-9]+ \(${2:-left}\), state: $state "
}
# wev_got_axis MARK [down|up]: a vertical scroll that way.
wev_got_axis() {
  local sign=""
  [[ "${2:-down}" == up ]] && sign=-
  wev_since "$1" | grep -Eq "\] axis: .*axis: 0 \(vertical\), value: ${sign}[0-9]"
}

# --- Hushpad's StatusNotifierItem and its unlock mark --------------------------------

# The bus name of Hushpad's item ($hushpad_pid's newest).
item_name() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames | grep -o "org.kde.StatusNotifierItem-$hushpad_pid-[0-9]*" |
    tail -n 1
}
# item_reads TEXT: the item's tool tip holds TEXT ("Hushpad: locked"...).
item_reads() {
  gdbus call --session --dest "$(item_name)" --object-path /StatusNotifierItem \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem ToolTip | grep -q "$1"
}
# mark_box X Y [SIZE]: the unlock mark's plate (#1c1c1f, give or take the
# compositor's rounding) in a screenshot of the SIZE px (80) around X Y: prints
# the box it covers (x y width height, layout pixels), nothing when it is not there.
mark_box() {
  local size=${3:-80}
  local x0=$(($1 - size / 2)) y0=$(($2 - size / 2))
  ((x0 < 0)) && x0=0
  ((y0 < 0)) && y0=0
  as_wl_user grim -t ppm -g "$x0,$y0 ${size}x$size" - | /usr/bin/python3 -c '
import sys
f = sys.stdin.buffer
f.readline(); w, h = map(int, f.readline().split()); f.readline()
px = f.read()
plate = bytes.fromhex("1c1c1f")
hits = [(i % w, i // w) for i in range(w * h)
        if max(abs(a - b) for a, b in zip(px[3 * i:3 * i + 3], plate)) <= 2]
if len(hits) > 40:
    xs = [x for x, _ in hits]; ys = [y for _, y in hits]
    print(int(sys.argv[1]) + min(xs), int(sys.argv[2]) + min(ys),
          max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
' "$x0" "$y0" | grep .
}
