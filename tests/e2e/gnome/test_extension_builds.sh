#!/usr/bin/env bash
# Both builds of Hushpad's GNOME Shell extension parse and evaluate in gjs:
# the 43-44 build as a legacy script, the 45+ build as an ES module (its
# imports swapped for stand-ins, since the Shell's own modules exist only
# inside the Shell), and every module the 45+ build imports is one GNOME Shell
# 45 and later has, by name. Each metadata.json names its versions, and each
# zip holds what `gnome-extensions install` needs.
#   test_extension_builds.sh [unused]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
command -v gjs >/dev/null || { echo "SKIP: gjs is missing (scripts/setup-debian.sh --tests)"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/hushpad-extension.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$root/src/platform/linux/gnome/extension/build.sh" "$work/out" >/dev/null
legacy=$work/out/hushpad-gnome43@hushpad.app
modern=$work/out/hushpad@hushpad.app

echo "== the 43-44 build parses as a legacy script"
HUSHPAD_SOURCE=$legacy/extension.js gjs -c '
  const {GLib} = imports.gi;
  const [, bytes] = GLib.file_get_contents(GLib.getenv("HUSHPAD_SOURCE"));
  new Function(new TextDecoder().decode(bytes));' || fail "the 43-44 build does not parse"
grep -q '^function init()' "$legacy/extension.js" || fail "the 43-44 build has no init()"
if grep -nE '^\s*(import|export)\b' "$legacy/extension.js"; then
  fail "the 43-44 build uses module syntax"
fi

echo "== the 45+ build parses and evaluates as an ES module"
# The modules GNOME Shell 45 and later provide, by the names extensions import.
known=(
  gi://Clutter gi://Gio gi://GLib gi://Shell gi://St
  resource:///org/gnome/shell/ui/main.js
  resource:///org/gnome/shell/ui/panelMenu.js
  resource:///org/gnome/shell/ui/popupMenu.js
  resource:///org/gnome/shell/extensions/extension.js
)
imports=$(sed -nE "s/^import .* from '([^']+)';$/\1/p" "$modern/extension.js")
[[ -n "$imports" ]] || fail "the 45+ build imports nothing"
for module in $imports; do
  printf '%s\n' "${known[@]}" | grep -qxF "$module" || fail "GNOME Shell 45 has no module $module"
done
# Each import becomes a stand-in of the same name; the rest is the build as shipped.
sed -E -e "s/^import \* as ([A-Za-z]+) from '[^']+';$/const \1 = {};/" \
  -e "s/^import \{([A-Za-z]+)\} from '[^']+';$/const \1 = class {};/" \
  -e "s/^import ([A-Za-z]+) from '[^']+';$/const \1 = {};/" \
  "$modern/extension.js" >"$work/module.js"
if grep -n '^import ' "$work/module.js"; then fail "an import of an unknown form"; fi
gjs -m "$work/module.js" || fail "the 45+ build does not parse or evaluate as a module"
grep -q '^export default class' "$modern/extension.js" || fail "the 45+ build exports no extension"

echo "== metadata and zips"
for dir in "$legacy" "$modern"; do
  uuid=$(basename "$dir")
  gjs -c "
    const {GLib} = imports.gi;
    const [, bytes] = GLib.file_get_contents('$dir/metadata.json');
    const m = JSON.parse(new TextDecoder().decode(bytes));
    if (m.uuid !== '$uuid' || !m.name || !m.description || !(m['shell-version'].length > 0))
      throw new Error('incomplete metadata: ' + JSON.stringify(m));
    print('$uuid: ' + m['shell-version'].join(' '));" || fail "$uuid: metadata.json"
  listing=$(cd "$work" && cmake -E tar tf "$work/out/$uuid.shell-extension.zip" | sort | tr '\n' ' ')
  [[ $listing == "extension.js metadata.json " ]] || fail "$uuid: the zip holds $listing"
done
grep -q '"43", "44"' "$legacy/metadata.json" || fail "the 43-44 build names other versions"
grep -q '"45"' "$modern/metadata.json" && ! grep -q '"44"' "$modern/metadata.json" ||
  fail "the 45+ build names other versions"
echo PASS
