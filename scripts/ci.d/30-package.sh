#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package (Release), installs it on this machine and checks that
# the installed program starts on an X server (Xvfb) and finds its product list:
# against a virtual module that cannot name its model, OPEN must lead to the
# product selection dialog, filled from /usr/lib/radioset/Setup/config.ini.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/package"
started=$SECONDS

SUDO=""
if [[ $(id -u) -ne 0 ]]; then
  SUDO="sudo"
fi

fail() {
  echo "package: $*" >&2
  exit 1
}

# --- Build ------------------------------------------------------------------------
# No sanitizers here: this is what users install.
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DRADIOSET_SANITIZE=OFF -DRADIOSET_TSAN=OFF >/dev/null
cmake --build "$build" --target radioset radioset-cli radioset-sim >"$build/build.log" 2>&1 || {
  tail -40 "$build/build.log"
  fail "the Release build failed"
}
rm -f "$build"/radioset_*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || {
  tail -40 "$build/cpack.log"
  fail "cpack failed"
}
debs=("$build"/radioset_*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || fail "expected one radioset_*.deb in $build"
deb="${debs[0]}"

# Only runtime packages: a -dev package among the dependencies would drag the
# build tools onto every user's machine.
depends=$(dpkg-deb -f "$deb" Depends)
echo "package: $(basename "$deb"), Depends: $depends"
[[ "$depends" == *libqt6widgets6* && "$depends" == *libqt6gui6* && "$depends" == *libqt6core6* ]] \
  || fail "the Qt 6 runtime libraries are missing from Depends"
if grep -Eq -- '-dev\b|-dev-tools|cmake|ninja|g\+\+' <<<"$depends"; then
  fail "a build-only package among the dependencies: $depends"
fi

# --- Install ----------------------------------------------------------------------
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --reinstall "$deb" >"$build/apt.log" 2>&1 || {
  tail -20 "$build/apt.log"
  fail "apt-get install failed"
}

for f in /usr/lib/radioset/radioset /usr/lib/radioset/Setup/config.ini /usr/bin/radioset-sim \
         /usr/share/applications/org.radioset.RadioSet.desktop \
         /usr/share/icons/hicolor/scalable/apps/org.radioset.RadioSet.svg \
         /usr/share/metainfo/org.radioset.RadioSet.metainfo.xml \
         /lib/udev/rules.d/70-radioset-modemmanager.rules; do
  [[ -e "$f" ]] || fail "not installed: $f"
done
[[ -L /usr/bin/radioset && "$(readlink -f /usr/bin/radioset)" == /usr/lib/radioset/radioset ]] \
  || fail "/usr/bin/radioset is not a link to /usr/lib/radioset/radioset"
[[ -L /usr/bin/radioset-cli && "$(readlink -f /usr/bin/radioset-cli)" == /usr/lib/radioset/radioset-cli ]] \
  || fail "/usr/bin/radioset-cli is not a link to /usr/lib/radioset/radioset-cli"
# Taken whole before grep looks: grep -q stops reading at the match, and the rest of
# the help would then meet a closed pipe and fail the stage under pipefail.
help=$(/usr/bin/radioset-cli --help)
grep -q "Profile format" <<<"$help" || fail "radioset-cli --help does not describe the profile"
appstreamcli validate --no-net /usr/share/metainfo/org.radioset.RadioSet.metainfo.xml >/dev/null \
  || fail "appstreamcli rejects the installed metainfo"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/org.radioset.RadioSet.desktop || fail "invalid desktop entry"
fi

# --- Start it ---------------------------------------------------------------------
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own, on a display it picks.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
display=""
for _ in $(seq 100); do
  display=$(tr -dc '0-9' <"$work/display")
  [[ -n "$display" ]] && break
  sleep 0.1
done
[[ -n "$display" ]] || fail "Xvfb did not start"
export DISPLAY=":$display"

/usr/bin/radioset-sim --no-model --link "$work/port" >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [[ -e "$work/port" ]] && break; sleep 0.1; done
[[ -e "$work/port" ]] || fail "radioset-sim did not start"

# Started through the link in /usr/bin and from another folder: the product list
# must still be found beside the real program.
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
(cd "$work" && env QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
   strace -f -qq -e trace=openat -o "$work/strace.log" /usr/bin/radioset >"$work/radioset.log" 2>&1) &
pids+=($!)

find_window() { # name, seconds
  local id=""
  for _ in $(seq $(($2 * 10))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [[ -n "$id" ]] && break
    sleep 0.1
  done
  echo "$id"
}

main=$(find_window '^RadioSet Program Ver 1\.3\.2$' 20)
[[ -n "$main" ]] || { cat "$work/radioset.log" >&2; fail "the main window did not appear"; }

# SERIAL OPEN is the first toolbar button.
xdotool mousemove --window "$main" 46 28 click 1
dialog=$(find_window '^SerialForm$' 10)
[[ -n "$dialog" ]] || fail "OPEN did not show the serial port dialog"
# COM PORT: click into its box, replace the text by the virtual module's port.
xdotool mousemove --window "$dialog" 110 91 click 1
xdotool key --window "$dialog" ctrl+a BackSpace
xdotool type --window "$dialog" --delay 5 "$work/port"
xdotool mousemove --window "$dialog" 47 207 click 1

selection=$(find_window '^Product Selection$' 15)
import -window root "$work/screen.png" 2>/dev/null && cp "$work/screen.png" "$build/installed-check.png" || true
[[ -n "$selection" ]] || fail "no product selection dialog (picture: $build/installed-check.png)"

grep -Eq 'openat\(.*"/usr/lib/radioset/Setup/config\.ini", O_RDONLY[^)]*\) = [0-9]+' "$work/strace.log" \
  || { grep -i config "$work/strace.log" >&2 || true; fail "the installed Setup/config.ini was not opened"; }

echo "package: installed program found its product list ($((SECONDS - started)) s)"
