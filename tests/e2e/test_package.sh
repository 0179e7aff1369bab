#!/usr/bin/env bash
# The Debian package: `cpack -G DEB` in the build folder of the program under
# test makes hushpad_*.deb with the program, the menu entry and the icon;
# `apt-get install ./hushpad_*.deb` installs it, and the menu entry's command
# starts the installed program, whose icon appears in the tray. The package is
# removed again unless it was installed before. Needs root (CI is).
source "$(dirname "$0")/lib.sh"

build=$(cd "$(dirname "$hushpad")/../../.." && pwd)
[[ -f "$build/CPackConfig.cmake" ]] || fail "no CPackConfig.cmake in $build"
[[ $(id -u) -eq 0 ]] || { echo "e2e: skipped, installing a package needs root"; exit 0; }

step "1. cpack -G DEB"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package") \
  >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/package/hushpad_*.deb 2>/dev/null | head -n 1)
[[ -n "$deb" ]] || fail "no hushpad_*.deb in $work/package"
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/hushpad ./usr/share/applications/hushpad.desktop \
  ./usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/hushpad.png \
  ./usr/share/icons/hicolor/scalable/apps/hushpad.svg; do
  grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done
echo "   $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB, depends: $(dpkg-deb -f "$deb" Depends)"

step "2. apt-get install ./$(basename "$deb")"
was_installed=$(dpkg-query -W -f='${Status}' hushpad 2>/dev/null | grep -c "install ok installed" || true)
remove_package() {
  ((was_installed)) || apt-get remove -y -q hushpad >"$work/remove.log" 2>&1
}
trap 'remove_package; cleanup' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=120 "$deb" \
  >"$work/install.log" 2>&1 || { tail -n 20 "$work/install.log" >&2; fail "apt-get install failed"; }
[[ -x /usr/bin/hushpad ]] || fail "/usr/bin/hushpad is not there"

step "3. the menu entry starts the installed program"
command=$(sed -n 's/^Exec=//p' /usr/share/applications/hushpad.desktop)
[[ "$(command -v "$command")" == /usr/bin/hushpad ]] || fail "the menu entry runs '$command'"
start_desktop
hushpad=/usr/bin/hushpad
start_hushpad
lock
unlock
kill -TERM "$hushpad_pid"
expect_exit 0

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
