#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target for a short, bounded time on a copy of its seed inputs
# (the repository's corpus is left as it is). Any crash, sanitizer report or
# broken invariant fails the stage; the input that caused it is kept in
# build/fuzz/findings/. Longer runs: scripts/fuzz-long.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/fuzz"
seconds="${RADIOSET_FUZZ_SECONDS:-10}"

log=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$work" "$log"' EXIT

if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
         -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
         -DRADIOSET_FUZZ=ON -DRADIOSET_SANITIZE=OFF -DRADIOSET_TSAN=OFF -DBUILD_TESTING=OFF &&
       cmake --build "$build" --target radioset_fuzzers; } >"$log" 2>&1; then
  cat "$log"
  echo "fuzz: build failed" >&2
  exit 1
fi

# The fuzzer reports itself; the options test.sh exported are for the Qt tests.
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

mkdir -p "$build/findings"
failed=0
for source in "$root"/fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  corpus="$work/$target"
  mkdir -p "$corpus"
  cp -r "$root/fuzz/corpus/$target/." "$corpus/" 2>/dev/null || true
  if "$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
       -print_final_stats=1 -artifact_prefix="$build/findings/$target-" "$corpus" >"$work/$target.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
    echo "$target: ${runs:-?} runs in ${seconds}s, no finding"
  else
    failed=1
    echo "$target: FAILED" >&2
    grep -v -E '^#[0-9]+' "$work/$target.log" | tail -n 40 >&2
  fi
done
if ((failed)); then
  echo "fuzz: findings kept in $build/findings" >&2
fi
exit "$failed"
