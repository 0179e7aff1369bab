#!/usr/bin/env bash
# Breaks the product code one place at a time and reports which tests catch
# each break, to check that the tests would notice real faults (and still do
# after a change to the tests).
#
#   tools/mutate.sh [LIST]      LIST: tools/mutations.tsv by default
#
# For each line of LIST (name, file, a text found exactly once in the file, its
# replacement) it applies the break, builds build/mutation, runs every unit
# test executable, and for a break in the Linux layer the end-to-end tests
# too, then puts the file back. Each line of the report is
#   name: Suite.Test Suite.Test ...    the tests that failed
#   name: NOT CAUGHT
#   name: DOES NOT BUILD
# It changes files of this checkout while it runs: run it in a worktree of
# its own (git worktree add /tmp/mutation HEAD).
set -uo pipefail
cd "$(dirname "$0")/.."
list=${1:-tools/mutations.tsv}
build=build/mutation
tmp=$(mktemp -d)
current=""
restore() { [[ -n "$current" ]] && cp "$tmp/original" "$current" && touch "$current"; current=""; }
trap 'restore; rm -rf "$tmp"' EXIT

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 >"$tmp/configure.log" 2>&1 &&
  cmake --build "$build" -j "$(nproc)" >"$tmp/build.log" 2>&1 ||
  { tail -n 30 "$tmp/configure.log" "$tmp/build.log"; echo "mutate: the unbroken code does not build"; exit 1; }

# The names of the failing tests of every unit test executable; one that ends
# without a verdict (a crash, an exception) counts as "crashed:NAME". A
# benchmark that fails its own checks (an allocation on the tap's path) counts
# as "bench:NAME".
failing_unit_tests() {
  local executable output status
  for executable in "$build"/tests/*_tests; do
    output=$("$executable" --gtest_brief=1 2>&1)
    status=$?
    failed=$(sed -nE 's/^\[  FAILED  \] ([A-Za-z_][^ ]*\.[^ ,]+).*/\1/p' <<<"$output")
    [[ -n "$failed" ]] && echo "$failed"
    ((status != 0)) && [[ -z "$failed" ]] && echo "crashed:$(basename "$executable")"
  done | sort -u
  for executable in "$build"/bench/*_bench; do
    [[ -x "$executable" ]] || continue
    "$executable" --benchmark_min_time=0.001 >/dev/null 2>&1 || echo "bench:$(basename "$executable")"
  done
}

failing_e2e_tests() {
  ctest --test-dir "$build" -L e2e 2>&1 | sed -nE 's/^\s+[0-9]+ - (e2e_[a-z_]+) \(Failed\).*/\1/p'
}

caught=0
total=0
while IFS=$'\t' read -r name file old new; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  total=$((total + 1))
  current=$file
  cp "$file" "$tmp/original"
  OLD=$old NEW=$new python3 - "$file" <<'PY' || { echo "$name: TEXT NOT FOUND ONCE"; restore; continue; }
import os, sys
path = sys.argv[1]
old = os.environ["OLD"].replace("\\n", "\n")
new = os.environ["NEW"].replace("\\n", "\n")
text = open(path).read()
if text.count(old) != 1:
    sys.exit(1)
open(path, "w").write(text.replace(old, new))
PY
  if ! cmake --build "$build" -j "$(nproc)" >"$tmp/mutant.log" 2>&1; then
    echo "$name: DOES NOT BUILD"
    caught=$((caught + 1))
  else
    failed=$(failing_unit_tests)
    [[ "$file" == src/platform/linux/* ]] && failed+=$'\n'$(failing_e2e_tests)
    failed=$(grep . <<<"$failed" | tr '\n' ' ')
    if [[ -n "$failed" ]]; then
      echo "$name: $failed"
      caught=$((caught + 1))
    else
      echo "$name: NOT CAUGHT"
    fi
  fi
  restore
done <"$list"
cmake --build "$build" -j "$(nproc)" >/dev/null 2>&1
echo "mutate: $caught of $total breaks caught"
