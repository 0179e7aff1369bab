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
