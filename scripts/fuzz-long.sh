#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one fuzz target for longer than CI does and adds the inputs that reach
# new code to the repository's corpus (fuzz/corpus/<target>/), merged so that
# the corpus stays small. Review and commit the new files like any other change.
#
#   scripts/fuzz-long.sh TARGET [SECONDS]     e.g. scripts/fuzz-long.sh fuzz_framing 600
#   scripts/fuzz-long.sh all [SECONDS]        every target in turn
#
# Targets: the fuzz/fuzz_*.cpp file names. A crash stops the run; its input is
# kept in build/fuzz/findings/ and can be replayed with
#   build/fuzz/fuzz/TARGET build/fuzz/findings/TARGET-crash-...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"

if (($# < 1)); then
  sed -n '3,12p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
target=$1
seconds=${2:-300}

if [[ "$target" == all ]]; then
  for source in "$root"/fuzz/fuzz_*.cpp; do
    "$0" "$(basename "$source" .cpp)" "$seconds"
  done
  exit 0
fi
if [[ ! -f "$root/fuzz/$target.cpp" ]]; then
  echo "no such fuzz target: $target" >&2
  exit 2
fi

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DRADIOSET_FUZZ=ON -DRADIOSET_SANITIZE=OFF -DRADIOSET_TSAN=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target "$target"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

corpus="$root/fuzz/corpus/$target"
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
mkdir -p "$corpus" "$build/findings"

# New inputs go to a scratch folder first; the merge then keeps only those
# that add coverage over what the repository already holds.
"$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$build/findings/$target-" "$found" "$corpus"
before=$(ls "$corpus" | wc -l)
"$build/fuzz/$target" -merge=1 "$corpus" "$found" 2>/dev/null
after=$(ls "$corpus" | wc -l)
echo "$target: corpus $before -> $after inputs"
