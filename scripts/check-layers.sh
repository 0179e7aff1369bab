#!/usr/bin/env bash
# The OS layers translate; the core decides. No file of an OS layer but its
# entry point (main.*) includes a header of the core (gestures/, input/,
# artwork/, app/), except the shared value records of gestures/preference_records.h.
#   scripts/check-layers.sh
set -uo pipefail
cd "$(dirname "$0")/.."

violations=$(grep -HnE '^\s*#\s*(include|import)\s*"(gestures|input|artwork|app)/' \
    $(find src/platform/macos src/platform/linux -type f ! -name 'main.*' | sort) |
  grep -v '"gestures/preference_records.h"')
if [[ -n "$violations" ]]; then
  echo "$violations"
  echo "layers: an OS layer includes the core; report facts through src/platform/*.h instead"
  exit 1
fi
echo "layers: no OS layer file includes the core"

# The GNOME Shell extension shows and reports; the core decides where the mark
# goes and whether a release unlocks. Its JavaScript therefore holds no hit test
# and no placement rule: no distance or containment arithmetic, no comparison
# of coordinates, no hit-testing call of the Shell's; a release on the cover is
# forwarded with the event's own coordinates and never ends the lock there; the
# mark goes exactly where the program says. Only the tool tip's own placement
# under the item may compute with a position.
js_dir=src/platform/linux/gnome/extension
js_files=$(find "$js_dir" -name '*.js' | sort)
coordinate='\b(x|y|width|height|left|right|top|bottom|[a-z]*[XY]|[a-z]*(Width|Height))\b'
# Every function body but the tool tip's.
without_tooltip=$(awk '/^    _showToolTip\(/ { skip = 1; next } skip && /^    }$/ { skip = 0; next } !skip' \
  $js_files | grep -v '^\s*//')
js_violations=$(
  grep -nE 'Math\.(hypot|sqrt|pow|abs|min|max)\b|\*\*' <<<"$without_tooltip" | sed 's/^/distance: /'
  grep -nE "$coordinate\s*(<|>|<=|>=)[^>]|(<|>|<=|>=)\s*$coordinate" <<<"$without_tooltip" |
    grep -vE '=>' | sed 's/^/comparison: /'
  grep -nE "$coordinate\s*[-+*/]\s*[A-Za-z0-9_(]|[A-Za-z0-9_)]\s*[-+*/]\s*$coordinate" \
    <<<"$without_tooltip" | sed 's/^/arithmetic: /'
  grep -nE '\b(contains|get_actor_at_pos|pick|point_in|hit)\w*\(' <<<"$without_tooltip" |
    sed 's/^/hit test: /'
)
# The cover's release: the event's coordinates, forwarded untouched, nothing else done.
cover_release=$(awk '/case Clutter.EventType.BUTTON_RELEASE/ { on = 1 } on { print } on && /return/ { exit }' \
  $js_files)
grep -qF 'const [x, y] = event.get_coords();' <<<"$cover_release" &&
  grep -qF "'CoverReleased', new GLib.Variant('(udd)', [event.get_button(), x, y])" \
    <<<"$cover_release" || js_violations+=$'\ncover: a release is not forwarded as the event gave it'
grep -qE '_unlock|_hideMark|Unlock' <<<"$cover_release" &&
  js_violations+=$'\ncover: a release on the cover acts by itself'
# The mark: at the frame the program gave.
grep -qF '_showMark([x, y, width, height], icon) {' $js_files &&
  grep -qF 'this._mark.set_position(x, y);' $js_files ||
  js_violations+=$'\nmark: not placed exactly where the program says'
if [[ -n "${js_violations//$'\n'/}" ]]; then
  echo "$js_violations" | grep -v '^$'
  echo "layers: the GNOME Shell extension decides what the core decides; report facts instead"
  exit 1
fi
echo "layers: the GNOME Shell extension only forwards positions and shows what it is told"
