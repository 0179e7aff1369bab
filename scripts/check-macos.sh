#!/usr/bin/env bash
# Compile-checks the macOS program's sources and the portable core against a
# macOS SDK, for arm64 and x86_64, with the SDK's own libc++ headers.
#   scripts/check-macos.sh SDK_DIR
# SDK_DIR holds include/, lib/ and Frameworks/ (the layout of the public
# hexops/xcode-frameworks repository). A sysroot is laid out from it in a
# temporary folder. clang++ is used unless CXX names another clang; JOBS
# compilations run at once (default 2).
# NLOHMANN_JSON_INCLUDE_DIR (default /usr/include) holds nlohmann/json.hpp; only
# that folder is put on the include path, so no host header leaks in.
set -euo pipefail

fail() { echo "macOS check: $*" >&2; exit 1; }

(($# == 1)) || fail "usage: scripts/check-macos.sh SDK_DIR"
[[ -d "$1" ]] || fail "no SDK folder at $1"
sdk=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
cxx=${CXX:-clang++}
json_dir=${NLOHMANN_JSON_INCLUDE_DIR:-/usr/include}
targets=(arm64-apple-macos11 x86_64-apple-macos11)

for folder in include include/c++/v1 lib Frameworks; do
  [[ -d "$sdk/$folder" ]] || fail "$sdk/$folder is missing"
done
[[ -f "$json_dir/nlohmann/json.hpp" ]] || fail "no nlohmann/json.hpp in $json_dir"
command -v "$cxx" >/dev/null || fail "$cxx not found"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sysroot="$tmp/sysroot"
mkdir -p "$sysroot/usr" "$sysroot/System/Library" "$tmp/json"
ln -s "$sdk/include" "$sysroot/usr/include"
ln -s "$sdk/lib" "$sysroot/usr/lib"
ln -s "$sdk/Frameworks" "$sysroot/System/Library/Frameworks"
ln -s "$json_dir/nlohmann" "$tmp/json/nlohmann"

cd "$root"
mapfile -t sources < <(
  find src/platform/macos -name '*.mm' -o -name '*.cpp'
  find src/gestures src/input src/artwork src/app -name '*.cpp'
)
mapfile -t sources < <(printf '%s\n' "${sources[@]}" | sort)
((${#sources[@]})) || fail "no sources found"

# The SDK's libc++ is named explicitly: clang would prefer one installed beside itself.
common=(-std=c++20 -stdlib=libc++ -nostdinc++ -isystem "$sysroot/usr/include/c++/v1"
        -fsyntax-only -Wall -Wextra -Wpedantic -Werror
        -isysroot "$sysroot" -I src -isystem "$tmp/json")

# Compiles one source for one target; its diagnostics go to the file in $3.
check() {
  local source=$1 target=$2 out=$3
  local flags=(-target "$target" "${common[@]}")
  [[ $source == *.mm ]] && flags+=(-fobjc-arc)
  "$cxx" "${flags[@]}" "$source" >"$out" 2>&1 || echo "exit status $?" >>"$out"
}

parallel=${JOBS:-2}
runs=()
for target in "${targets[@]}"; do
  for source in "${sources[@]}"; do
    while (($(jobs -rp | wc -l) >= parallel)); do wait -n; done
    out="$tmp/out.${#runs[@]}"
    runs+=("$source|$target|$out")
    check "$source" "$target" "$out" &
  done
done
wait

# Any diagnostic at all, even a note, counts as a failure.
failures=0
for run in "${runs[@]}"; do
  IFS='|' read -r source target out <<<"$run"
  if [[ -s "$out" ]]; then
    echo "== $source ($target)"
    cat "$out"
    failures=$((failures + 1))
  fi
done

if ((failures)); then
  echo "macOS check: $failures of $((${#sources[@]} * ${#targets[@]})) compilations FAILED"
  exit 1
fi
echo "macOS check: ${#sources[@]} files x ${#targets[@]} targets OK"
