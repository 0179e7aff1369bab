#!/usr/bin/env bash
# The Debian package: `cpack -G DEB` in the build folder of the program under
# test makes hushpad_*.deb with the program, the menu entry, the icons, the
# manual page, the AppStream metainfo, the copyright and the changelog.
# lintian finds no error or warning in it, and each file passes the checker of
# its kind. `apt-get install ./hushpad_*.deb` installs it; with no display the
# installed program answers --help, --version and a bogus option, and the menu
# entry's command starts it, its icon appearing in the tray. The package is
# removed again unless it was installed before. Needs root (CI is).
source "$(dirname "$0")/lib.sh"

build=$(cd "$(dirname "$hushpad")/../../.." && pwd)
[[ -f "$build/CPackConfig.cmake" ]] || fail "no CPackConfig.cmake in $build"
[[ $(id -u) -eq 0 ]] || { echo "e2e: skipped, installing a package needs root"; exit 0; }
for tool in lintian appstreamcli desktop-file-validate man; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup-debian.sh --tests)"
done

step "1. cpack -G DEB"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package") \
  >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/package/hushpad_*.deb 2>/dev/null | head -n 1)
[[ -n "$deb" ]] || fail "no hushpad_*.deb in $work/package"
version=$(dpkg-deb -f "$deb" Version)
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/hushpad ./usr/share/applications/hushpad.desktop \
  ./usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/hushpad.png \
  ./usr/share/icons/hicolor/scalable/apps/hushpad.svg \
  ./usr/share/metainfo/app.hushpad.Hushpad.metainfo.xml ./usr/share/man/man1/hushpad.1.gz \
  ./usr/share/doc/hushpad/copyright ./usr/share/doc/hushpad/changelog.gz \
  ./usr/share/gnome-shell/extensions/{hushpad@hushpad.app,hushpad-gnome43@hushpad.app}/{extension.js,metadata.json}; do
  grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done
echo "   $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB, depends: $(dpkg-deb -f "$deb" Depends)"

step "2. lintian: no error, no warning"
# Informational tags are shown, not failed on; lintian's remark on running as
# root goes to its own log.
lintian --fail-on none --display-info "$deb" >"$work/lintian.txt" 2>"$work/lintian.log" ||
  { cat "$work/lintian.txt" "$work/lintian.log" >&2; fail "lintian could not check the package"; }
sed 's/^/   /' "$work/lintian.txt"
if grep -q '^[EW]:' "$work/lintian.txt"; then fail "lintian reports errors or warnings"; fi

step "3. the metainfo, the menu entry, the manual page and the changelog"
root=$work/root
dpkg-deb -x "$deb" "$root"
appstreamcli validate --no-net "$root/usr/share/metainfo/app.hushpad.Hushpad.metainfo.xml" \
  >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }
desktop-file-validate "$root/usr/share/applications/hushpad.desktop" >"$work/desktop.log" 2>&1 ||
  { cat "$work/desktop.log" >&2; fail "desktop-file-validate"; }
MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/hushpad.1.gz" >"$work/man.txt" \
  2>"$work/man.log" && [[ ! -s "$work/man.log" ]] ||
  { cat "$work/man.log" >&2; fail "man -l could not render the manual page cleanly"; }
for heading in NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS"; do
  grep -qx "$heading" "$work/man.txt" || fail "the manual page has no $heading"
done
# The version is spelt out in three places besides CMake: all agree.
[[ "$(zcat "$root/usr/share/doc/hushpad/changelog.gz" | head -n 1)" == "hushpad ($version) "* ]] ||
  fail "the changelog's newest entry is not version $version"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/app.hushpad.Hushpad.metainfo.xml" ||
  fail "the metainfo has no release $version"

step "4. apt-get install ./$(basename "$deb")"
was_installed=$(dpkg-query -W -f='${Status}' hushpad 2>/dev/null | grep -c "install ok installed" || true)
remove_package() {
  ((was_installed)) || apt-get remove -y -q hushpad >"$work/remove.log" 2>&1
}
trap 'remove_package; cleanup' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=120 "$deb" \
  >"$work/install.log" 2>&1 || { tail -n 20 "$work/install.log" >&2; fail "apt-get install failed"; }
[[ -x /usr/bin/hushpad ]] || fail "/usr/bin/hushpad is not there"

step "5. the command line, with no display"
[[ -z "${DISPLAY:-}" ]] || fail "DISPLAY is set"
hushpad=/usr/bin/hushpad
# run_hushpad ARGS...: sets status and leaves stdout and stderr in files.
run_hushpad() {
  status=0
  timeout 10 "$hushpad" "$@" >"$work/out.txt" 2>"$work/err.txt" || status=$?
}
run_hushpad --help
((status == 0)) || fail "--help exited with status $status"
grep -q -- '--version' "$work/out.txt" || fail "--help does not list --version"
for option in --lock --unlock; do
  grep -q -- "$option" "$work/out.txt" || fail "--help does not list $option"
done
run_hushpad --lock  # the installed program says no Hushpad runs, and starts none
((status == 1)) || fail "--lock with none running exited with status $status, not 1"
run_hushpad --version
((status == 0)) || fail "--version exited with status $status"
[[ "$(cat "$work/out.txt")" == "hushpad $version" ]] ||
  fail "--version printed '$(cat "$work/out.txt")', not 'hushpad $version'"
run_hushpad --no-such-option
((status == 2)) || fail "a bogus option exited with status $status, not 2"
grep -q -- '--no-such-option' "$work/err.txt" || fail "the error does not name the bogus option"
run_hushpad --display=:99 --version  # GTK's own options are read, the display left alone
((status == 0)) || fail "GTK's --display option is refused (status $status)"
[[ ! -e "$XDG_CONFIG_HOME/hushpad" ]] || fail "the command line alone touched Hushpad's state"

step "6. the menu entry starts the installed program"
command=$(sed -n '/^\[Desktop Entry\]/,/^\[/ s/^Exec=//p' /usr/share/applications/hushpad.desktop)
[[ "$(command -v "$command")" == /usr/bin/hushpad ]] || fail "the menu entry runs '$command'"
start_desktop
start_hushpad
lock
unlock
kill -TERM "$hushpad_pid"
expect_exit 0

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
