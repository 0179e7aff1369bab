#!/usr/bin/env bash
# Compiles the macOS program's sources and the portable core against a macOS
# SDK, for arm64 and x86_64, with the SDK's own libc++ headers, then links each
# architecture's objects into a Mach-O executable with ld64.lld against the
# SDK's .tbd stubs of the frameworks the CMake target links. A symbol left
# undefined fails the check unless it belongs to a system library the SDK has
# no stub for (libSystem, libc++, libc++abi, the compiler runtime): a project
# function declared but defined nowhere, a misspelt framework function or
# constant, an Objective-C class no framework exports.
#   scripts/check-macos.sh SDK_DIR
# SDK_DIR holds include/, lib/ and Frameworks/ (the layout of the public
# hexops/xcode-frameworks repository). A sysroot is laid out from it in a
# temporary folder. clang++ is used unless CXX names another clang; JOBS
# compilations run at once (default 2). LD64 names the linker (default: lld's ld64.lld).
# NLOHMANN_JSON_INCLUDE_DIR (default /usr/include) holds nlohmann/json.hpp; only
# that folder is put on the include path, so no host header leaks in.
set -euo pipefail

fail() { echo "macOS check: $*" >&2; exit 1; }

(($# == 1)) || fail "usage: scripts/check-macos.sh SDK_DIR"
[[ -d "$1" ]] || fail "no SDK folder at $1"
sdk=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
cxx=${CXX:-clang++}
# Debian's lld puts ld64.lld beside its versioned name and in the LLVM folder.
ld64=${LD64:-$(command -v ld64.lld || compgen -c ld64.lld- | sort -V | tail -n 1 ||
               ls /usr/lib/llvm-*/bin/ld64.lld 2>/dev/null | sort -V | tail -n 1)}
json_dir=${NLOHMANN_JSON_INCLUDE_DIR:-/usr/include}
targets=(arm64-apple-macos11 x86_64-apple-macos11)

for folder in include include/c++/v1 lib Frameworks; do
  [[ -d "$sdk/$folder" ]] || fail "$sdk/$folder is missing"
done
[[ -f "$json_dir/nlohmann/json.hpp" ]] || fail "no nlohmann/json.hpp in $json_dir"
command -v "$cxx" >/dev/null || fail "$cxx not found"
command -v "$ld64" >/dev/null || fail "$ld64 not found (Debian: lld)"

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
        -c -Wall -Wextra -Wpedantic -Werror
        -isysroot "$sysroot" -I src -isystem "$tmp/json")

# Compiles one source for one target into $tmp/obj/TARGET/; its diagnostics go
# to the file in $3.
check() {
  local source=$1 target=$2 out=$3
  local flags=(-target "$target" "${common[@]}")
  [[ $source == *.mm ]] && flags+=(-fobjc-arc)
  local object="$tmp/obj/$target/${source//\//_}.o"
  "$cxx" "${flags[@]}" "$source" -o "$object" >"$out" 2>&1 || echo "exit status $?" >>"$out"
}
for target in "${targets[@]}"; do mkdir -p "$tmp/obj/$target"; done

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
echo "macOS check: ${#sources[@]} files x ${#targets[@]} targets compiled"

# ---- Link. The SDK keeps each stub at Versions/Current only, while stubs name
# the libraries they re-export by install name (Versions/A, Versions/C...): a
# link root puts every stub at its install name, and each framework where
# -framework looks for it.
linkroot="$tmp/linkroot"
while IFS= read -r -d '' stub; do
  name=$(sed -nE "s/^install-name:[[:space:]]*'?([^']*)'?[[:space:]]*$/\1/p" "$stub" | head -n 1)
  [[ -n "$name" ]] || continue
  mkdir -p "$linkroot$(dirname "$name")"
  ln -sf "$stub" "$linkroot${name%.dylib}.tbd"
done < <(find "$sdk/Frameworks" "$sdk/lib" -name '*.tbd' -print0)
for framework in "$sdk"/Frameworks/*.framework; do
  name=$(basename "$framework" .framework)
  [[ -f "$framework/$name.tbd" ]] || continue
  mkdir -p "$linkroot/System/Library/Frameworks/$name.framework"
  ln -sf "$framework/$name.tbd" "$linkroot/System/Library/Frameworks/$name.framework/$name.tbd"
done
mkdir -p "$linkroot/usr/lib"
[[ -f "$sdk/lib/libobjc.tbd" ]] && ln -sf "$sdk/lib/libobjc.tbd" "$linkroot/usr/lib/libobjc.tbd"

# The frameworks are the CMake target's; a weak one stays weak.
link_flags=()
while read -r kind name; do
  if [[ ! -d "$sdk/Frameworks/$name.framework" ]]; then
    echo "macOS check: $name.framework is not in this SDK; a symbol taken from it shows as undefined"
    continue
  fi
  [[ $kind == WEAK_FRAMEWORK ]] && link_flags+=(-weak_framework "$name") || link_flags+=(-framework "$name")
done < <(grep -oE 'LINK_LIBRARY:(WEAK_)?FRAMEWORK,[A-Za-z]+' src/platform/macos/CMakeLists.txt |
         sed -E 's/LINK_LIBRARY:([A-Z_]+),/\1 /')
[[ -f "$sdk/lib/libobjc.tbd" ]] && link_flags+=(-lobjc)

# The SDK has no stubs of these system libraries: C and POSIX functions,
# libdispatch, blocks and libc++/libc++abi (std::, operator new and delete,
# exceptions, unwinding), the compiler runtime. Everything else must resolve.
system_symbol='^(_[a-jl-z]|_k[a-z]|___|__Block_|__NSConcrete|__dispatch_|__os_|__Unwind_|__ZN?K?St|__ZT[ISV]N?St|__ZT[ISV]N10__cxxabiv1|__Z(nw|na|dl|da)[a-zA-Z])'
link_failures=0
for target in "${targets[@]}"; do
  arch=${target%%-*}
  log="$tmp/link.$arch"
  "$ld64" -arch "$arch" -platform_version macos 11.0 11.0 -syslibroot "$linkroot" \
    -o "$tmp/Hushpad.$arch" "$tmp/obj/$target"/*.o "${link_flags[@]}" \
    -undefined error --error-limit=0 >"$log" 2>&1 || true
  undefined=$(sed -nE 's/.*undefined symbol: (.*)$/\1/p' "$log" | sort -u)
  project=$(grep -vE "$system_symbol" <<<"$undefined" | grep . || true)
  other=$(grep -vE 'undefined symbol|^>>> ' "$log" | grep -v '^$' || true)
  if [[ -n "$project" || -n "$other" ]]; then
    echo "== link ($arch)"
    [[ -n "$project" ]] && sed 's/^/undefined: /' <<<"$project"
    [[ -n "$other" ]] && echo "$other"
    link_failures=$((link_failures + 1))
  else
    echo "macOS check: $arch linked; $(grep -c . <<<"$undefined" || true) undefined symbols, all of system libraries"
  fi
done
if ((link_failures)); then
  echo "macOS check: $link_failures of ${#targets[@]} links FAILED"
  exit 1
fi
echo "macOS check: ${#sources[@]} files x ${#targets[@]} targets OK, linked"
