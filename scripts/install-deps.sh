#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, running and testing RadioSet needs on Debian 12,
# and nothing when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libudev-dev                  # serial ports by name, and adapters coming and going
  qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-liberation2            # the UI font (metric-compatible, small sizes stay legible)
  xvfb xauth x11-utils xdotool imagemagick   # headless runs, screenshots and end-to-end tests
)

# Further needs of single stages (fuzzing, packaging...) are listed one package a
# line in scripts/deps.d/*.txt.
for list in "$(dirname "$0")"/deps.d/*.txt; do
  [[ -f "$list" ]] || continue
  while read -r p _; do
    [[ -n "$p" && "$p" != \#* ]] && packages+=("$p")
  done < "$list"
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
