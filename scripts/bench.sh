#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds RadioSet in Release (build/release) and runs its benchmark under a
# private X server; prints one table. Arguments go to radioset-bench
# (--runs=N --cycles=N --idle-seconds=S --results=N --line-runs=N
# --scale-runs=N --peer=PROGRAM), then the production line's table
# (radioset-bench-line; RADIOSET_BENCH_LINE="--runs=N --search-runs=N
# --units=N" changes its defaults of 10, 3 and 200). RADIOSET_BENCH_QUICK=1
# runs fewer of everything (about four minutes); arguments given still win.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/release"
log="$build/bench-build.log"

# What the benchmark alone needs: the project's own packages, the peer it is
# compared with, and a display to start both under.
bash "$root/scripts/install-deps.sh" >/dev/null
extra=(cutecom xvfb xauth libxcb1-dev)
missing=()
for p in "${extra[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  echo "Installing: ${missing[*]}" >&2
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The compiler cache, where there is one and nobody chose otherwise.
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
fi

mkdir -p "$build"
echo "Building Release in $build (log: $log)..." >&2
{
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DRADIOSET_SANITIZE=OFF \
    -DRADIOSET_BENCH=ON
  cmake --build "$build" -j "$(nproc)" --target radioset radioset-cli radioset-bench radioset-bench-poll \
    radioset-bench-window radioset-bench-line
} >"$log" 2>&1 || { tail -n 30 "$log" >&2; exit 1; }

# A display of our own, so that the window manager of a desktop (or its
# absence) does not change the figures.
fdfile="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
xvfb=$!
runtime=""
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  rm -f "$fdfile"
  [[ -n "$runtime" ]] && rm -rf "$runtime"
}
trap cleanup EXIT
for _ in $(seq 100); do [[ -s "$fdfile" ]] && break; sleep 0.1; done
[[ -s "$fdfile" ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$fdfile")"
export QT_QPA_PLATFORM=xcb
runtime="$(mktemp -d)"
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"

quick=()
line_quick=()
if [[ -n "${RADIOSET_BENCH_QUICK:-}" && "${RADIOSET_BENCH_QUICK}" != 0 ]]; then
  quick=(--runs=2 --cycles=12 --idle-seconds=6 --results=200 --line-runs=1 --scale-runs=1)
  line_quick=(--runs=5 --search-runs=1 --units=60)
fi
echo "Load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
status=0
"$build/bench/radioset-bench" --radioset="$build/app/radioset" --cli="$build/app/radioset-cli" \
  --poll-floor="$build/bench/radioset-bench-poll" --bare-window="$build/bench/radioset-bench-window" \
  "${quick[@]}" "$@" || status=$?
echo
# shellcheck disable=SC2086 # the options are words on purpose
"$build/bench/radioset-bench-line" "${line_quick[@]}" ${RADIOSET_BENCH_LINE:-} || status=1
exit "$status"
