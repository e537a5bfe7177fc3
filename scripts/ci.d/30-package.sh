#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from debian/ with dpkg-buildpackage (Release, no
# sanitizers, no tests: DEB_BUILD_OPTIONS=nocheck), checks it with lintian (no
# error, no warning), installs it on this machine as a user would and runs the
# package's own tests (debian/tests, autopkgtest) against the installed package.
# The package stays installed.
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
step() { # what was done, and when
  echo "package: $* ($((SECONDS - started)) s)"
}

# --- Build ------------------------------------------------------------------------
# dpkg-buildpackage writes the package beside the source folder, so it builds a
# copy of the tree (without build folders and git) inside build/package.
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS
rm -rf "$build"
mkdir -p "$build/src"
tar -C "$root" --exclude-vcs --exclude=./build --exclude='./build-*' --exclude='./obj-*' \
  --exclude=./debian/radioset --exclude=./debian/.debhelper -cf - . | tar -C "$build/src" -xf -
(cd "$build/src" && DEB_BUILD_OPTIONS="nocheck parallel=2" DEB_BUILD_PROFILES=nocheck \
   dpkg-buildpackage -us -uc -b >"$build/build.log" 2>&1) || {
  tail -40 "$build/build.log"
  fail "dpkg-buildpackage failed (log: $build/build.log)"
}
debs=("$build"/radioset_*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || fail "expected one radioset_*.deb in $build"
deb="${debs[0]}"
changes=("$build"/radioset_*.changes)
step "built $(basename "$deb")"

# Only runtime packages: a -dev package among the dependencies would drag the
# build tools onto every user's machine.
depends=$(dpkg-deb -f "$deb" Depends)
echo "package: Depends: $depends"
[[ "$depends" == *libqt6widgets6* && "$depends" == *libqt6gui6* && "$depends" == *libqt6core6* ]] \
  || fail "the Qt 6 runtime libraries are missing from Depends"
if grep -Eq -- '-dev\b|-dev-tools|cmake|ninja|g\+\+' <<<"$depends"; then
  fail "a build-only package among the dependencies: $depends"
fi

# --- lintian ----------------------------------------------------------------------
# Every tag down to info is shown; an error or a warning fails the stage.
lintian --info --display-info --fail-on error,warning "${changes[0]}" >"$build/lintian.log" 2>&1 || {
  cat "$build/lintian.log"
  fail "lintian found errors or warnings"
}
sed 's/^/lintian: /' "$build/lintian.log"
step "lintian: $(grep -c '^E:' "$build/lintian.log" || true) errors, $(grep -c '^W:' "$build/lintian.log" || true) warnings, $(grep -c '^I:' "$build/lintian.log" || true) info tags"

# --- Install, as a user would ------------------------------------------------------
(cd "$build" && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --reinstall "./$(basename "$deb")" \
   >"$build/apt.log" 2>&1) || {
  tail -20 "$build/apt.log"
  fail "apt-get install failed"
}
step "installed"

# --- The package's tests, against the installed package ----------------------------
# The null runner runs them on this machine; --no-built-binaries: the package
# under test is the one installed above.
autopkgtest --no-built-binaries --output-dir "$build/autopkgtest" "$build/src" -- null \
  >"$build/autopkgtest.log" 2>&1 || {
  cat "$build/autopkgtest.log"
  fail "autopkgtest failed (log: $build/autopkgtest.log)"
}
sed -n '/^@@@@@@@@@@@@@@@@@@@@ summary/,$p' "$build/autopkgtest.log"
step "autopkgtest passed"
