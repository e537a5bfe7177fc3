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
  log=$(mktemp)
  "$build/tools/radioset-sim" --link "$link" >/dev/null 2>"$log" &
  sim_pid=$!
  trap '[[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null || true; rm -f "$log"' EXIT
  # The module tells on standard error the name RadioSet's port list shows.
  for _ in $(seq 50); do
    grep -q "dialog" "$log" && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  entry=$(sed -n "s/^radioset-sim: listed in RadioSet's serial port dialog as: //p" "$log")
  echo
  if [[ -n "$entry" ]]; then
    echo "Virtual module running. In RadioSet press SERIAL OPEN: the COM PORT list shows it as"
    echo
    echo "    $entry"
    echo
    echo "Pick it (virtual modules come first, so it is usually chosen already) and press OPEN."
  else
    cat "$log" >&2
    echo "Virtual module running: in RadioSet press SERIAL OPEN and type $link as COM PORT."
  fi
  echo "How to use RadioSet: docs/user-guide.md"
  echo
fi

"$build/app/radioset"
