#!/usr/bin/env bash
# The session half of test_gnome_shell.sh, inside its session bus.
set -euo pipefail
pids=()
cleanup() {
  local status=$?
  set +e
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -CONT "${pids[i]}" 2>/dev/null
    kill "${pids[i]}" 2>/dev/null
  done
  wait 2>/dev/null
  cp "$WORK"/*.log "$WORK"/*.png "$ARTIFACTS"/ 2>/dev/null
  ((status == 0)) || echo "logs and screenshots: $ARTIFACTS" >&2
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() {
  local deadline=$((SECONDS + $1)) what=$2
  shift 2
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || fail "timed out waiting for $what"
    sleep 0.05
  done
}

# Settings in dconf, shared by the Shell and the program as in a real session.
# GNOME Shell 43 finds extensions only as it starts: enabled beforehand.
gsettings set org.gnome.shell enabled-extensions "['$HUSHPAD_EXTENSION_UUID']"
gsettings set org.gnome.shell disable-user-extensions false
gsettings set org.gnome.shell welcome-dialog-last-shown-version 999

shell_started=$(($(date +%s%N) / 1000000))
gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 >"$WORK/shell.log" 2>&1 &
shell_pid=$!
pids+=($shell_pid)
export WAYLAND_DISPLAY=wayland-0
shell_ready() {
  [[ $(gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
    -m org.gnome.Shell.Extensions.GetExtensionInfo "$HUSHPAD_EXTENSION_UUID") == *"'state': <1.0>"* ]]
}
wait_for 30 "GNOME Shell with the extension enabled" shell_ready
echo "GNOME Shell ready with the extension in $(( $(date +%s%N) / 1000000 - shell_started )) ms"

# The checks watch the bus from before the program starts, and bring the
# virtual keyboard and pointer before wev starts.
$PYTHON "$HERE/shell_checks.py" "$WORK" &
checks_pid=$!
wait_for 10 "the checks to watch the bus" test -e "$WORK/watching"
stdbuf -oL wev >"$WORK/wev.log" 2>&1 &
pids+=($!)
wait_for 10 "wev's window" grep -q "xdg_toplevel] configure" "$WORK/wev.log"
"$HUSHPAD" >"$WORK/hushpad.log" 2>&1 &
hushpad_pid=$!
pids+=($hushpad_pid)
echo "$hushpad_pid" >"$WORK/hushpad.pid"
echo "$shell_pid" >"$WORK/shell.pid"
wait "$checks_pid"
