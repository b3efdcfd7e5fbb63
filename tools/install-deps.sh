#!/usr/bin/env bash
# Installs the Debian 12 packages that one kind of work needs, and only those that are missing:
#   run   building and starting velmora (and its screenshot without a display)
#   test  run, plus what the tests and benchmarks add
#   ci    test, plus what CI's extra targets add (the fuzz targets, the Windows cross-compile)
set -euo pipefail

set_name=${1:-test}
run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libxcb1-dev
  xvfb xauth x11-utils imagemagick
)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev locales)
ci_packages=(clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix)
case "$set_name" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  ci) packages=("${run_packages[@]}" "${test_packages[@]}" "${ci_packages[@]}") ;;
  *) echo "usage: $0 [run|test|ci]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A German locale lets the tests show that numbers never follow the user's locale.
if [ "$set_name" != run ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ -f /etc/locale.gen ]; then
    $sudo sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    $sudo locale-gen >/dev/null || true
  fi
fi
