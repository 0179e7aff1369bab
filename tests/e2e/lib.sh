#!/usr/bin/env bash
# Shared by the end-to-end tests of the Linux program: sourced by each
# tests/e2e/test_*.sh, which is called as `test_X.sh /path/to/hushpad`.
#
# Everything runs under its own session bus, with a private HOME and
# XDG_CONFIG_HOME and the keyfile GSettings backend: the machine's settings are
# never touched. Every wait polls a condition against a deadline. Input goes
# through XTEST (xdotool without --window: synthetic events sent to a window
# would bypass any grab). Only the processes started here are stopped.
# Screenshots go to $HUSHPAD_E2E_ARTIFACTS.

set -euo pipefail

[[ $# -eq 1 && -x "$1" ]] || { echo "usage: $0 /path/to/hushpad" >&2; exit 2; }
hushpad=$(realpath "$1")
if [[ -z "${HUSHPAD_E2E_SESSION_BUS:-}" ]]; then
  command -v dbus-run-session >/dev/null || { echo "FAIL: dbus-run-session is missing" >&2; exit 1; }
  exec env HUSHPAD_E2E_SESSION_BUS=1 dbus-run-session -- bash "$0" "$hushpad"
fi

started_ms=${EPOCHREALTIME/./}
work=$(mktemp -d "${TMPDIR:-/tmp}/hushpad-e2e.XXXXXX")
# Kept after the run (the work folder is not).
artifacts=${HUSHPAD_E2E_ARTIFACTS:-${TMPDIR:-/tmp}/hushpad-e2e-artifacts}
mkdir -p "$artifacts"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export GSETTINGS_BACKEND=keyfile NO_AT_BRIDGE=1 XDG_SESSION_TYPE=x11
# GTK keeps its caches until exit; leaks are the unit tests' business.
export ASAN_OPTIONS=detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}
unset WAYLAND_DISPLAY DISPLAY XAUTHORITY

schema=org.gnome.desktop.peripherals.touchpad
keyfile=$XDG_CONFIG_HOME/glib-2.0/settings/keyfile
backup=$XDG_CONFIG_HOME/hushpad/TrackpadGestureLock.backup.v1.data
xev_log=$work/xev.log
hushpad_log=$work/hushpad.log

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
login1_log=$work/login1.log
helpers=()      # X server, tray, client, buses: stopped in reverse order at the end
hushpad_pid=""

cleanup() {
  local status=$?
  set +e
  [[ -n "$hushpad_pid" ]] && kill -9 "$hushpad_pid" 2>/dev/null
  for ((i = ${#helpers[@]} - 1; i >= 0; i--)); do kill "${helpers[i]}" 2>/dev/null; done
  wait 2>/dev/null
  if ((status != 0)); then
    cp "$work"/*.log "$artifacts"/ 2>/dev/null
    echo "logs and screenshots: $artifacts" >&2
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [[ -f "$hushpad_log" ]] && sed 's/^/  hushpad: /' "$hushpad_log" >&2
  [[ -f "$login1_log" ]] && sed 's/^/  logind: /' "$login1_log" "$work/login1.out" >&2
  exit 1
}

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$(($(now_ms) + seconds * 1000))
  until "$@" >/dev/null 2>&1; do
    (($(now_ms) < deadline)) || fail "timed out after ${seconds}s waiting for $what"
    sleep 0.05
  done
}

step() { echo "== $*"; }

# --- the desktop -------------------------------------------------------------

gsettings list-keys "$schema" >/dev/null 2>&1 ||
  fail "the GSettings schema $schema is not installed (gsettings-desktop-schemas)"

# The X server waits for this on its -displayfd, then DISPLAY names it.
wait_for_display() {
  wait_for 15 "the X server to report its display number" test -s "$work/display"
  DISPLAY=:$(head -n 1 "$work/display")
  export DISPLAY
}

# start_tray [trayer options]: a tray at the top right of the first monitor, or
# where the options say.
start_tray() {
  trayer --edge top --align right --widthtype request --height 24 --expand false "$@" \
    >>"$work/trayer.log" 2>&1 &
  helpers+=($!)
  wait_for 15 "the tray (trayer's panel window)" xdotool search --classname '^panel$'
}

# start_client [geometry]: xev in its own window, logging what it receives.
start_client() {
  stdbuf -oL xev -geometry "${1:-300x200+100+300}" >"$xev_log" 2>&1 &
  helpers+=($!)
  wait_for 15 "the test client (xev) to be mapped" grep -q MapNotify "$xev_log"
}

# start_xfce_panel GREY: Xfce's panel along the top in a solid grey (0 black
# to 1 white) with its notification area, its settings daemon started by the
# session bus in this test's environment.
start_xfce_panel() {
  local channels=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
  mkdir -p "$channels"
  sed "s/@GREY@/$1/g" "$e2e_dir/xfce4-panel.xml" >"$channels/xfce4-panel.xml"
  dbus-update-activation-environment HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME \
    XDG_RUNTIME_DIR DISPLAY
  # The daemon reads the file once; a later panel of this test gets its grey here.
  gdbus call --session --dest org.xfce.Xfconf --object-path /org/xfce/Xfconf \
    --method org.xfce.Xfconf.SetProperty xfce4-panel /panels/panel-1/background-rgba \
    "<[<$1>, <$1>, <$1>, <1.0>]>" >/dev/null
  xfce4-panel --disable-wm-check >>"$work/xfce4-panel.log" 2>&1 &
  helpers+=($!)
  wait_for 15 "Xfce's panel" xdotool search --classname '^xfce4-panel$'
}

# One 1024 x 768 screen.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  helpers+=($!)
  wait_for_display
}

# One 1024 x 768 screen with a tray and a client.
start_desktop() {
  start_xvfb
  start_tray
  start_client
}

# --- a private system bus with a stand-in logind ----------------------------------

start_system_bus() {
  dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/system-bus" \
    >"$work/system-bus.log" 2>&1 &
  helpers+=($!)
  wait_for 10 "the private system bus" test -s "$work/system-bus"
  DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "$work/system-bus")
  export DBUS_SYSTEM_BUS_ADDRESS
}

start_login1() {
  /usr/bin/python3 "$e2e_dir/login1_standin.py" "$login1_log" >"$work/login1.out" 2>&1 &
  login1_pid=$!
  helpers+=($!)
  wait_for 10 "the stand-in logind" gdbus introspect --system --dest org.freedesktop.login1 \
    --object-path /org/freedesktop/login1
}

# The usual desktop on a private system bus with the stand-in logind, the
# user's touchpad settings, and Hushpad started.
start_desktop_with_logind() {
  start_system_bus
  start_login1
  start_desktop
  set_user_settings
  start_hushpad
}

# Calls one of the stand-in's test hooks: EmitLock, EmitPrepareForSleep true...
login1_hook() {
  gdbus call --system --dest org.freedesktop.login1 --object-path /org/freedesktop/login1 \
    --method "org.hushpad.TestHooks.$1" "${@:2}" >/dev/null
}
login1_logged() { grep -qx -- "$1" "$login1_log" 2>/dev/null; }

# --- the program ---------------------------------------------------------------

# Fails while there is no such window (xwininfo without an id would wait for a click).
icon_window() {
  local window
  window=$(xdotool search --name '^Hushpad (un)?locked$' 2>/dev/null | head -n 1)
  [[ -n "$window" ]] && echo "$window"
}
icon_title_is() {
  local window
  window=$(icon_window) && [[ "$(xdotool getwindowname "$window" 2>/dev/null)" == "$1" ]]
}

icon_embedded() {
  local window info
  window=$(icon_window) || return 1
  info=$(xwininfo -id "$window" 2>/dev/null) || return 1
  grep -q 'Map State: IsViewable' <<<"$info" && (($(awk '/Width:/ {print $2}' <<<"$info") >= 16))
}

# Prints a window's place and size: x y width height (root coordinates).
window_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4}
    /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}'
}

# Sets icon_x, icon_y, icon_w, icon_h and the centre icon_cx, icon_cy.
read_icon_geometry() {
  local window
  window=$(icon_window) || fail "Hushpad's icon window is gone"
  read -r icon_x icon_y icon_w icon_h < <(window_geometry "$window")
  icon_cx=$((icon_x + icon_w / 2))
  icon_cy=$((icon_y + icon_h / 2))
}

# start_hushpad [options]: with its XEmbed icon embedded in the tray.
start_hushpad() {
  "$hushpad" "$@" >>"$hushpad_log" 2>&1 &
  hushpad_pid=$!
  wait_for 15 "the tray to embed Hushpad's icon" icon_embedded
  wait_for 5 "the icon to read \"Hushpad unlocked\"" icon_title_is "Hushpad unlocked"
  read_icon_geometry
}

# Gone, or a zombie waiting for this script to collect its status.
hushpad_ended() {
  local state
  state=$(awk '/^State:/ {print $2}' "/proc/$hushpad_pid/status" 2>/dev/null) || return 0
  [[ "$state" == Z ]]
}

# Waits for Hushpad to end and checks its exit status.
expect_exit() {
  local expected=$1 status=0
  wait_for 15 "Hushpad to exit" hushpad_ended
  wait "$hushpad_pid" 2>/dev/null || status=$?  # quiet: no "Killed" notice
  hushpad_pid=""
  ((status == expected)) || fail "Hushpad exited with status $status, expected $expected"
}

click_icon() { xdotool mousemove "$icon_cx" "$icon_cy" click "$1"; }

lock() {
  click_icon 1
  wait_for 10 "the icon to read \"Hushpad locked\"" icon_title_is "Hushpad locked"
}

unlock() {
  click_icon 1
  wait_for 10 "the icon to read \"Hushpad unlocked\"" icon_title_is "Hushpad unlocked"
}

# --- screenshots ----------------------------------------------------------------

# Saves the icon with a margin of 4 pixels.
shoot_icon() {
  import -window root -crop "$((icon_w + 8))x$((icon_h + 8))+$((icon_x - 4))+$((icon_y - 4))" \
    +repage "$1"
}

icon_drawn() {
  shoot_icon "$1" &&
    awk '{exit !($1 > 0.05)}' <<<"$(convert "$1" -format '%[fx:standard_deviation]' info:)"
}

differs_from() {
  shoot_icon "$2" && ! compare -metric AE "$1" "$2" null: 2>/dev/null
}

# --- the client -------------------------------------------------------------------

client_x=250
client_y=400
xev_lines() { wc -l <"$xev_log"; }
# The client's event lines from line $1 on.
xev_since() { tail -n "+$(($1 + 1))" "$xev_log"; }
client_got_key() { xev_since "$1" | grep -q "(keysym 0x[0-9a-f]*, $2)"; }
client_got_click() { xev_since "$1" | grep -q '^ButtonPress'; }
# The keys and buttons the client got since line $1 of its log, one per line
# ("keysym 0x7a, z)", "button 1"): what reached it while it should not have.
client_input_since() {
  xev_since "$1" | grep -E '^(KeyPress|ButtonPress)' -A 2 |
    grep -oE '(keysym 0x[0-9a-f]+, [^)]+\)|button [0-9]+)' || true
}

# Whether Hushpad holds the input: its input window's name says so once a grab
# has taken, and only then.
hushpad_holds_input() { xdotool search --name '^Hushpad input lock \(held\)$' >/dev/null 2>&1; }
hushpad_let_go() { ! hushpad_holds_input && icon_title_is "Hushpad locked"; }

# Locks and waits for the input to be held, the pointer over the client.
lock_and_watch() {
  lock
  wait_for 10 "the touchpad settings to be switched off" all_switched_off
  wait_for 10 "Hushpad to hold the input" hushpad_holds_input
  xdotool mousemove "$client_x" "$client_y"
}

pointer_at() {
  [[ "$(xdotool getmouselocation)" == "x:$1 y:$2 "* ]]
}

# --- the touchpad settings ---------------------------------------------------------

setting() { gsettings get "$schema" "$1"; }
user_has_value() { grep -q "^$1=" "$keyfile" 2>/dev/null; }

# The user's own values: three set away from their defaults, one left unset.
set_user_settings() {
  gsettings set "$schema" tap-to-click true
  gsettings set "$schema" tap-and-drag false
  gsettings set "$schema" two-finger-scrolling-enabled false
  gsettings reset "$schema" edge-scrolling-enabled
}

# The scrolling keys off; the tap keys as the user has them (a tap must still
# reach the unlock mark on a touchpad without a button).
all_switched_off() {
  local key
  for key in two-finger-scrolling-enabled edge-scrolling-enabled; do
    [[ "$(setting "$key")" == false ]] && user_has_value "$key" || return 1
  done
  [[ "$(setting tap-to-click)" == true && "$(setting tap-and-drag)" == false ]]
}

user_settings_restored() {
  [[ "$(setting tap-to-click)" == true && "$(setting tap-and-drag)" == false &&
    "$(setting two-finger-scrolling-enabled)" == false ]] &&
    ! user_has_value edge-scrolling-enabled && [[ ! -e "$backup" ]]
}

wakeups() {
  awk '/ctxt_switches/ {sum += $2} END {print sum}' "/proc/$hushpad_pid/status"
}

# After 5 s for the work that the last change set off (redraws, the settings
# backend's file monitor) to die down.
measure_idle_wakeups() {
  local before after
  sleep 5
  before=$(wakeups)
  sleep 10
  after=$(wakeups)
  echo "   wakeups in 10 s idle, $1: $((after - before))"
}

