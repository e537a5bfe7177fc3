#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs part K of N of a Qt Test program: its test rows (a function with one of
# its data rows, or a function without data) are dealt out in turn, as cards,
# and part K gets every N-th one from the K-th. The long window suites spend
# their time waiting on timers, not on the processor, so their parts run side by
# side under ctest. Every row lands in exactly one part; a part that would get
# none fails rather than pass without testing anything.
#   run-part.sh PROGRAM K N [Qt Test options...]
set -euo pipefail
program=$1 part=$2 parts=$3
shift 3
# "-datatags" prints "Class function" or "Class function tag", one row a line;
# Qt Test runs the row "function:tag" when given it.
mapfile -t rows < <("$program" -datatags | sed -n 's/^[^ ]* \([^ ]*\)\( \(.*\)\)\{0,1\}$/\1:\3/p' | sed 's/:$//')
picked=()
for i in "${!rows[@]}"; do
  if (( i % parts == part - 1 )); then
    picked+=("${rows[$i]}")
  fi
done
if (( ${#picked[@]} == 0 )); then
  echo "run-part: part $part of $parts of $program holds no test row" >&2
  exit 1
fi
exec "$program" "$@" "${picked[@]}"
