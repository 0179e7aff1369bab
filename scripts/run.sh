#!/usr/bin/env bash
# Installs what Hushpad needs, builds it and starts it in this desktop session.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset app >/dev/null
cmake --build --preset app -j "$(nproc 2>/dev/null || echo 2)"
if [[ -z "${DISPLAY:-}" ]]; then
  echo "Hushpad needs an X11 desktop session (DISPLAY is not set)." >&2
  exit 1
fi
exec build/app/src/platform/linux/hushpad "$@"
