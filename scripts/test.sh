#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test:
#   1. unit tests, benchmarks (briefly) and the end-to-end tests in a headless X server,
#      then the program alone as scripts/run.sh builds it;
#   2. the unit tests again under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the backup decoder's libFuzzer target for HUSHPAD_FUZZ_SECONDS (default 60);
#   4. the macOS compile check, when HUSHPAD_MACOS_SDK names an SDK folder;
#   5. the layer fence: no OS layer includes the core (scripts/check-layers.sh).
# The last line is the summary over all of them.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh --tests || { echo "setup failed"; echo "hushpad: 0 passed, 1 failed"; exit 1; }

jobs=$(nproc 2>/dev/null || echo 2)
passed=0
failed=0
logdir=build/test-logs
mkdir -p "$logdir"

# Runs ctest for a preset and adds its counts to the totals.
run_ctest() {
  local preset=$1 log="$logdir/ctest-$1.log"
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ -z "$line" ]]; then
    failed=$((failed + 1))
    return
  fi
  local bad total
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

build() {
  local preset=$1
  echo "== build: $preset"
  if cmake --preset "$preset" >"$logdir/configure-$preset.log" 2>&1 &&
     cmake --build --preset "$preset" -j "$jobs" >"$logdir/build-$preset.log" 2>&1; then
    return 0
  fi
  tail -n 60 "$logdir/configure-$preset.log" "$logdir/build-$preset.log" 2>/dev/null
  echo "== build of $preset FAILED"
  failed=$((failed + 1))
  return 1
}

if build default; then
  echo "== tests: unit, benchmarks, end-to-end"
  run_ctest default
fi

# The program as the README's first command builds it (Release, no tests).
if build app; then
  passed=$((passed + 1))
fi

if build asan; then
  echo "== tests: unit under ASan + UBSan"
  run_ctest asan
fi

if build fuzz; then
  seconds=${HUSHPAD_FUZZ_SECONDS:-60}
  echo "== fuzz: backup decoder for ${seconds}s"
  corpus=$(mktemp -d)
  cp fuzz/corpus/* "$corpus"/ 2>/dev/null || true
  if build/fuzz/fuzz/backup_decoder_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$logdir/" "$corpus" >"$logdir/fuzz.log" 2>&1; then
    tail -n 12 "$logdir/fuzz.log"
    passed=$((passed + 1))
  else
    tail -n 40 "$logdir/fuzz.log"
    echo "== fuzz FAILED"
    failed=$((failed + 1))
  fi
  rm -rf "$corpus"
fi

if [[ -n "${HUSHPAD_MACOS_SDK:-}" ]]; then
  echo "== macOS compile check against $HUSHPAD_MACOS_SDK"
  if scripts/check-macos.sh "$HUSHPAD_MACOS_SDK"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
else
  echo "== macOS compile check skipped: set HUSHPAD_MACOS_SDK to a macOS SDK folder to run it"
fi

echo "== layers: the OS layers include no core header"
if scripts/check-layers.sh; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

echo "hushpad: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
