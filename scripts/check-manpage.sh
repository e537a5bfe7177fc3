#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/check-manpage.sh PROGRAM [PAGE]: every option that PROGRAM --help names must appear
# on its manual page as man shows it (PAGE: a page file; default: the installed
# page of PROGRAM).
set -eu
program=$1
page=${2:-}
export LC_ALL=C.UTF-8 MANWIDTH=1000
if [ -n "$page" ]; then
  text=$(man --nh --nj -l "$page" 2>/dev/null)
else
  text=$(man --nh --nj "$(basename "$program")" 2>/dev/null)
fi
[ -n "$text" ] || { echo "check-manpage: no manual page for $program" >&2; exit 1; }
options=$("$program" --help | grep -oE -- '(^|[[:space:][(,"])(--[[:alnum:]][[:alnum:]-]*|-[[:alpha:]])\b' \
  | sed 's/^[^-]*//' | sort -u)
[ -n "$options" ] || { echo "check-manpage: $program --help names no option" >&2; exit 1; }
missing=""
for option in $options; do
  printf '%s\n' "$text" | grep -qE -- "(^|[^[:alnum:]-])$option([^[:alnum:]-]|\$)" || missing="$missing $option"
done
if [ -n "$missing" ]; then
  echo "check-manpage: $(basename "$program")(1) lacks options of --help:$missing" >&2
  exit 1
fi
echo "check-manpage: $(basename "$program")(1) has all $(echo "$options" | wc -l) options of --help"
