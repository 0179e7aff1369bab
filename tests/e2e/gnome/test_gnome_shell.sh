#!/usr/bin/env bash
# Hushpad on GNOME Shell 43 through its own extension, end to end: a headless
# GNOME Shell (Wayland, one virtual 1280x800 monitor) with the extension's
# 43-44 build, the program, and wev as the client; input through Mutter's
# RemoteDesktop, screenshots through the Shell's Screenshot service, the talk
# between program and extension read off the session bus by a monitor.
#   test_gnome_shell.sh /path/to/hushpad
# GNOME Shell will not run as root: as root, the test runs as nobody. It
# brings its own system bus (a minimal logind and GDM) and session bus, and
# stops only what it started.
set -euo pipefail

[[ $# -eq 1 && -x "$1" ]] || { echo "usage: $0 /path/to/hushpad" >&2; exit 2; }
hushpad=$(realpath "$1")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
python=/usr/bin/python3

for tool in gnome-shell gjs wev dbus-daemon dbus-run-session gdbus gsettings; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (scripts/setup-debian.sh --tests installs it)"
    exit 77
  fi
done

if [[ -z "${HUSHPAD_GNOME_STAGE:-}" ]]; then
  started_ms=$(($(date +%s%N) / 1000000))
  work=$(mktemp -d "${TMPDIR:-/tmp}/hushpad-gnome.XXXXXX")
  artifacts=${HUSHPAD_E2E_ARTIFACTS:-${TMPDIR:-/tmp}/hushpad-e2e-artifacts}/gnome-shell
  mkdir -p "$artifacts"
  "$root/src/platform/linux/gnome/extension/build.sh" "$work/extensions" >/dev/null
  as_user=()
  if [[ $(id -u) -eq 0 ]]; then
    chown -R nobody: "$work"
    chmod 777 "$artifacts"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  fi
  status=0
  # Only the variables the session needs: nothing of the caller's desktop.
  "${as_user[@]}" env -i PATH=/usr/local/bin:/usr/bin:/bin HUSHPAD_GNOME_STAGE=1 \
    WORK="$work" ARTIFACTS="$artifacts" USER=nobody LANG=C.UTF-8 \
    bash "$0" "$hushpad" || status=$?
  rm -rf "$work"
  echo "test time: $(( $(date +%s%N) / 1000000 - started_ms )) ms"
  exit $status
fi

# --- as the session's user -----------------------------------------------------
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data
export XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/gnome-shell/extensions" \
  "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export NO_AT_BRIDGE=1 GTK_A11Y=none
export HUSHPAD_EXTENSION_UUID=hushpad-gnome43@hushpad.app
cp -r "$WORK/extensions/$HUSHPAD_EXTENSION_UUID" "$XDG_DATA_HOME/gnome-shell/extensions/"
# The Shell's crash-loop flag would switch every extension off.
rm -f "$XDG_RUNTIME_DIR/gnome-shell-disable-extensions"

pids=()
cleanup() {
  local status=$?
  set +e
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -CONT "${pids[i]}" 2>/dev/null
    kill "${pids[i]}" 2>/dev/null
  done
  wait 2>/dev/null
  if ((status != 0)); then
    cp "$WORK"/*.log "$WORK"/*.png "$ARTIFACTS"/ 2>/dev/null
    echo "logs and screenshots: $ARTIFACTS" >&2
  fi
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() {  # SECONDS WHAT COMMAND...
  local deadline=$((SECONDS + $1)) what=$2
  shift 2
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || fail "timed out waiting for $what"
    sleep 0.05
  done
}

# A private system bus with logind's and GDM's stand-ins: the Shell needs
# logind where /run/systemd/seats exists, and GDM for its lock screen.
dbus-daemon --config-file="$here/system-bus.conf" --address="unix:path=$WORK/system_bus" \
  --nofork >"$WORK/system-bus.log" 2>&1 &
pids+=($!)
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$WORK/system_bus
wait_for 10 "the system bus" test -S "$WORK/system_bus"
$python "$here/system_standins.py" "$WORK/system.log" >"$WORK/standins.log" 2>&1 &
pids+=($!)
wait_for 10 "logind's and GDM's stand-ins" grep -q ready "$WORK/standins.log"

export XDG_SESSION_ID=c1 XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
export HUSHPAD=$hushpad HERE=$here PYTHON=$python
dbus-run-session -- bash "$here/session.sh"
