#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak run: N cycles (default 300) of OPEN / READ / random edits / WRITE against the
# virtual module, each checked by reading the module back. Release build.
#   scripts/soak.sh [CYCLES] [SEED]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
if ! cmake --build "$build" --target radioset-soak >"$build/soak-build.log" 2>&1; then
  cat "$build/soak-build.log" >&2
  exit 1
fi
QT_QPA_PLATFORM=offscreen "$build/tools/soak/radioset-soak" "${1:-300}" "${2:-1}"
