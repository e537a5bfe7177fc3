#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds RadioSet (Release) and starts it together with
# a virtual module, so it can be tried without hardware.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build"

sim_pid=""
if [[ -x "$build/tools/radioset-sim" && "${RADIOSET_NO_SIM:-0}" != 1 ]]; then
  link="${XDG_RUNTIME_DIR:-/tmp}/radioset-sim"
  "$build/tools/radioset-sim" --link "$link" &
  sim_pid=$!
  trap '[[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null || true' EXIT
  sleep 0.5
  echo
  echo "Virtual module running: in RadioSet press SERIAL OPEN and type $link as COM PORT."
  echo
fi

"$build/app/radioset"
