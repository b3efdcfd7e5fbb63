#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Root writes through file permissions, so a few checks of the unit tests (unreadable and
# read-only settings files, a read-only working directory) only run for an ordinary user.
# When we are root, run the unit tests once more as the user "nobody".
set -euo pipefail
build=${1:-build}
if [ "$(id -u)" -ne 0 ]; then exit 0; fi
if ! command -v setpriv >/dev/null || ! id nobody >/dev/null 2>&1; then
  echo "setpriv or the user nobody is missing: cannot run the unit tests unprivileged" >&2
  exit 1
fi
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/tests/velmora_unit_tests" "$work/"
cp -r "$top/tests/golden" "$work/golden"
chmod -R a+rX "$work"
echo "Unit tests as the unprivileged user nobody:"
cd "$work"
setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env \
  env VELMORA_GOLDEN_DIR="$work/golden" TMPDIR=/tmp "$work/velmora_unit_tests" --gtest_brief=1
