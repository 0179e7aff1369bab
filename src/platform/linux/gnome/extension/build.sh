#!/usr/bin/env bash
# Builds the two packages of Hushpad's GNOME Shell extension from one source:
# GNOME 43-44 load extensions as legacy `imports`, 45 and later as ES
# modules, and neither loads the other's.
#   build.sh OUTDIR   -> OUTDIR/<uuid>/{extension.js,metadata.json} and
#                        OUTDIR/<uuid>.shell-extension.zip for each build
set -euo pipefail
[[ $# -eq 1 ]] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
out=$1
mkdir -p "$out"

build() {  # uuid head tail versions...
  local uuid=$1 head=$2 tail=$3
  shift 3
  local dir=$out/$uuid versions
  versions=$(printf '"%s", ' "$@")
  rm -rf "$dir"
  mkdir -p "$dir"
  cat "$here/$head" "$here/layer.js" "$here/$tail" > "$dir/extension.js"
  cat > "$dir/metadata.json" <<JSON
{
  "uuid": "$uuid",
  "name": "Hushpad",
  "description": "The top-bar item and input lock of Hushpad, which locks the keyboard, mouse and touchpad until you click it again. It needs the Hushpad program.",
  "shell-version": [${versions%, }],
  "url": "https://hushpad.app/"
}
JSON
  rm -f "$out/$uuid.shell-extension.zip"
  (cd "$dir" && cmake -E tar cf "$(realpath "$out")/$uuid.shell-extension.zip" --format=zip \
    extension.js metadata.json)
}

build hushpad-gnome43@hushpad.app head-legacy.js tail-legacy.js 43 44
build hushpad@hushpad.app head-esm.js tail-esm.js 45 46 47 48 49
