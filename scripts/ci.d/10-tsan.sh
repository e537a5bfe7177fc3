#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# ThreadSanitizer build of the threaded code and the tests that drive it: the
# port's event thread, the receive worker, the hand-over to the user-interface
# thread and shutdown. Any report fails the stage (halt_on_error).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/tsan"
# The threaded code lives in transport/; its tests drive the port's event thread
# on real pseudo-terminals, the receive worker, the hand-over and the stop at
# shutdown. One window-level test (tst_handover) drives the same threads through
# the main window: answers handed to the window's thread, received bytes queued
# while the worker takes them, and the window destroyed while a thread waits for
# it. The other window-level tests run under AddressSanitizer only, which keeps
# this stage short. radioset-cli's production line runs a worker thread per port
# that hands each unit's end to the main thread, and is stopped while units run
# (tst_productionline).
tests=(tst_comport tst_ptyport tst_uihandoff tst_framing tst_cycleschedule tst_handover tst_productionline)

log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
         -DRADIOSET_TSAN=ON -DRADIOSET_SANITIZE=OFF -DRADIOSET_FUZZ=OFF -DBUILD_TESTING=ON &&
       cmake --build "$build" --target "${tests[@]}"; } >"$log" 2>&1; then
  cat "$log"
  echo "tsan: build failed" >&2
  exit 1
fi

# The options test.sh exported belong to the AddressSanitizer build.
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS
# Qt is not instrumented: TSan is told to leave its libraries alone (see
# tests/tsan.supp for why, and for the one report kind that remains).
# Some port tests fork a child that holds the line (a program keeping the port
# open): the child only sleeps or execs, so threads after that fork are allowed.
export TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/tsan.supp second_deadlock_stack=1 ignore_noninstrumented_modules=1 die_after_fork=0"
export QT_QPA_PLATFORM=offscreen

pattern="^($(IFS='|'; echo "${tests[*]}"))\$"
cd "$build"
ctest -R "$pattern" --output-on-failure --timeout 600 -j2
