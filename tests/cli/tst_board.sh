#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# radioset-cli's progress board on a real terminal (a tmux pane): at 60 columns
# its rows are cut, not wrapped, so redrawing does not scroll; with more ports
# than the pane has rows it shows the compact view, which fits. Both are seen
# in the pane's scrollback, which a board that does not fit fills.
# Arguments: radioset-cli, radioset-sim.
set -euo pipefail
cli=$1
sim=$2
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 1; }

work=$(mktemp -d)
socket="$work/tmux"
pids=()
cleanup() {
  tmux -S "$socket" kill-server 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

# Twelve modules, answering a little slowly so that the board is redrawn often.
for n in $(seq 1 12); do
  "$sim" --answer-delay=10 --link="$work/mod$n" >"$work/sim$n.out" 2>/dev/null &
  pids+=($!)
done
for n in $(seq 1 12); do
  for _ in $(seq 1 100); do [[ -e "$work/mod$n" ]] && break; sleep 0.05; done
  [[ -e "$work/mod$n" ]] || { echo "virtual module $n did not start"; exit 1; }
done
printf '[BLUETOOTH]\nDEVICE NAME = BOARD-{n}\n' >"$work/profile.ini"

fail=0
# run NAME COLUMNS ROWS PORTS MAX_HISTORY
run() {
  local name=$1 columns=$2 rows=$3 ports=$4 most=$5
  local args=()
  for n in $(seq 1 "$ports"); do args+=(-p "$work/mod$n"); done
  tmux -S "$socket" new-session -d -s "$name" -x "$columns" -y "$rows" \
    "$(printf '%q ' "$cli" write "$work/profile.ini" "${args[@]}"); echo \$? >$(printf '%q' "$work/$name.exit"); sleep 60"
  tmux -S "$socket" set-option -t "$name" history-limit 10000 >/dev/null
  local wide=0
  for _ in $(seq 1 600); do
    # Lines the terminal wrapped come back joined: none may be wider than the pane.
    if tmux -S "$socket" capture-pane -p -J -t "$name" | awk -v w="$columns" 'length($0) > w { bad = 1 } END { exit !bad }'; then
      wide=1
    fi
    [[ -e "$work/$name.exit" ]] && break
    sleep 0.1
  done
  local status history
  status=$(cat "$work/$name.exit" 2>/dev/null || echo none)
  history=$(tmux -S "$socket" display-message -p -t "$name" '#{history_size}')
  tmux -S "$socket" capture-pane -p -J -S - -t "$name" >"$work/$name.screen"
  echo "$name: exit $status, scrollback $history lines (at most $most), wrapped rows: $wide"
  if [[ $status != 0 || $history -gt $most || $wide != 0 ]]; then
    echo "--- $name"; cat "$work/$name.screen"; fail=1
  fi
  if ! grep -q "^$ports ok$" "$work/$name.screen"; then
    echo "$name: no final line \"$ports ok\""; fail=1
  fi
}

# Four ports at 60 columns: a row per port, cut to the width; the scrollback
# takes at most what the table at the end pushes out.
run narrow 60 30 4 5
# Twelve ports in ten rows: the compact view; the scrollback holds the table's
# overflow and the last board, not one board per redraw.
run compact 60 10 12 20
grep -q "12 ports: " "$work/compact.screen" || { echo "compact: no compact view"; fail=1; }
exit $fail
