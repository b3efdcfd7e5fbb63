#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian 12 packages that one kind of work needs, and only those that are missing:
#   run   building and starting velmora (and its screenshot without a display)
#   test  building, plus what the tests, the installation test and the benchmarks add
#   ci    test, plus what CI's extra targets add (the fuzz targets, the Windows cross-compile,
#         the Socket A build)
#   i386  the Socket A build on this machine: a Debian i386 root (what the root itself needs
#         and the emulator for the Athlon, tools/test-i386.sh fetches into its build folder)
set -euo pipefail

set_name=${1:-test}
# Debian's Qt 6 for 32-bit x86 requires SSE2, which no Socket A CPU has: there, Qt 5.15.
if [ "$(dpkg --print-architecture)" = i386 ]; then
  qt_packages=(qtbase5-dev qtbase5-dev-tools)
else
  qt_packages=(qt6-base-dev qt6-base-dev-tools)
fi
build_packages=(
  build-essential cmake ninja-build pkg-config
  "${qt_packages[@]}" libxcb1-dev
  xvfb xauth
)
# The screenshot of `make run` without a display.
run_packages=("${build_packages[@]}" x11-utils imagemagick)
# The installation test (tools/test-install.sh) checks the menu entry, the metainfo and the
# manual page with the tools a desktop and a software centre use; xdotool types into the window
# as a user does.
test_packages=("${build_packages[@]}" libgtest-dev libgmock-dev libbenchmark-dev locales
  desktop-file-utils appstream man-db groff-base xdotool)
i386_packages=(debootstrap binutils)
ci_packages=(clang libclang-rt-14-dev g++-mingw-w64-i686-posix "${i386_packages[@]}")
case "$set_name" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  ci) packages=("${test_packages[@]}" "${ci_packages[@]}") ;;
  i386) packages=("${i386_packages[@]}") ;;
  *) echo "usage: $0 [run|test|ci|i386]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  # A mirror in the middle of its sync serves an index that does not match its release file;
  # a later try may find it done. If one list stays broken, the packages come from the lists
  # that could be fetched (apt keeps the old one or leaves that source out).
  for try in 1 2 3; do
    $sudo apt-get update -qq && break
    if [ "$try" -eq 3 ]; then
      echo "install-deps: some package lists could not be fetched; installing from the others" >&2
      break
    fi
    echo "install-deps: the package mirror did not answer whole; trying again in 30 s" >&2
    sleep 30
  done
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A German locale lets the tests show that numbers never follow the user's locale.
if [ "$set_name" != run ] && [ "$set_name" != i386 ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ -f /etc/locale.gen ]; then
    $sudo sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    $sudo locale-gen >/dev/null || true
  fi
fi
