#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds every target with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test. Any sanitizer report fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

build="$root/build/test"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRADIOSET_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
# strict_string_checks stays off: libxkbcommon-x11 hands strndup buffers without a
# terminating NUL when a real X display is used, which is not ours to fix.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
# Four at a time on two cores: the window suites spend their time waiting on the
# module's answers and the program's timers, not on the processor (the longest
# run in parts, see tests/CMakeLists.txt).
(cd "$build" && ctest --output-on-failure --timeout 300 -j4 "$@")

# Further stages (thread sanitizer, fuzzing, packaging...), each a script of its own
# that exits non-zero on failure.
for stage in "$root"/scripts/ci.d/*.sh; do
  [[ -f "$stage" ]] || continue
  echo "== $(basename "$stage")"
  bash "$stage"
done
