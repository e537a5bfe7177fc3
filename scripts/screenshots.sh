#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the pictures of the user's guide: every page and dialog of the current
# program, driven against virtual modules on an X server of its own (Xvfb), and
# one set at a scale factor of 2 for HiDPI screens. Writes docs/screenshots/*.png.
#
#   scripts/screenshots.sh [OUT_FOLDER]
#
# RADIOSET_SCREENSHOTS_BIN names an already built radioset-screenshots to use.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$root/docs/screenshots}"

bin="${RADIOSET_SCREENSHOTS_BIN:-}"
if [[ -z "$bin" ]]; then
  "$root/scripts/install-deps.sh"
  build="$root/build/screenshots"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" --target radioset-screenshots
  bin="$build/tools/screenshots/radioset-screenshots"
fi

mkdir -p "$out"
rm -f "$out"/*.png

# The real platform plugin, not the offscreen one the tests use; no desktop
# settings of whoever runs this may change the pictures.
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI QT_STYLE_OVERRIDE
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -m 700 -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"

run() { xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" "$bin" --out "$out" "$@"; }

run
QT_SCALE_FACTOR=2 run --prefix hidpi- --only main-window,page-bluetooth,page-system-legacy,serial-port-dialog,device-search

# The pictures hold few colours: a palette of 256 keeps them small and looks the same.
for picture in "$out"/*.png; do
  convert "$picture" -strip -dither None -colors 256 "PNG8:$picture"
done

ls "$out"/*.png | wc -l | xargs echo "pictures written to $out:"
