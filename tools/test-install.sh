#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# What `make install` puts on a machine, checked from a build folder: installs into a
# temporary DESTDIR with the prefix /usr/local, checks that every file is in its place, lets
# desktop-file-validate, appstreamcli and man look at the menu entry, the metainfo and the
# manual page, and starts the installed program from another folder on the simulated board.
# The build folder's install_manifest.txt (what `make uninstall` removes) is left as it was.
#
#   tools/test-install.sh <build-dir>
set -euo pipefail

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 <build-dir>" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
prefix=/usr/local
id=org.velmora.Velmora

dest=$(mktemp -d)
run=$(mktemp -d)
manifest="$build/install_manifest.txt"
saved_manifest=""
if [ -f "$manifest" ]; then
  saved_manifest=$(mktemp)
  cp -p "$manifest" "$saved_manifest"
fi
cleanup() {
  rm -rf "$dest" "$run"
  if [ -n "$saved_manifest" ]; then
    mv -f "$saved_manifest" "$manifest"
  else
    rm -f "$manifest"
  fi
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

echo "== cmake --install into a temporary DESTDIR, prefix $prefix"
DESTDIR="$dest" cmake --install "$build" --prefix "$prefix" >/dev/null
root="$dest$prefix"

echo "== the installed tree"
expected=(
  bin/velmora
  share/velmora/sensormap.ini
  "share/applications/$id.desktop"
  "share/icons/hicolor/scalable/apps/$id.svg"
  "share/metainfo/$id.metainfo.xml"
  share/man/man1/velmora.1
  share/doc/velmora/README.md
  share/doc/velmora/LICENSE
  lib/tmpfiles.d/velmora.conf
)
for size in 16 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for f in "${expected[@]}"; do
  [ -s "$root/$f" ] || fail "$prefix/$f is missing or empty"
done
[ -x "$root/bin/velmora" ] || fail "$prefix/bin/velmora is not executable"
# Nothing lands outside the prefix, and nothing the list above does not know of.
installed=$(cd "$dest" && find . \( -type f -o -type l \) | sed 's|^\./|/|')
unexpected=$(grep -vxF -f <(printf "$prefix/%s\n" "${expected[@]}") <<<"$installed" || true)
[ -z "$unexpected" ] || fail "files nobody asked for: $unexpected"

echo "== desktop-file-validate"
out=$(desktop-file-validate "$root/share/applications/$id.desktop" 2>&1) ||
  fail "desktop-file-validate failed"
[ -z "$out" ] || fail "desktop-file-validate says: $out"

echo "== appstreamcli validate --no-net"
out=$(appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" 2>&1) ||
  fail "appstreamcli validate failed: $out"
if grep -qE '^[EW]: ' <<<"$out"; then fail "appstreamcli validate says: $out"; fi

echo "== man -l"
page="$root/share/man/man1/velmora.1"
warnings=$(MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null) || fail "man -l failed"
[ -z "$warnings" ] || fail "man -l warns: $warnings"
text=$(MANWIDTH=80 man -l "$page" 2>/dev/null | col -b)
for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" SAFETY "SIMULATED BOARD" \
  ENVIRONMENT "SEE ALSO"; do
  grep -qx "$section" <<<"$text" || fail "the manual page has no section $section"
done

echo "== the installed program, started from another folder on the simulated board"
set +e
(cd "$run" && QT_QPA_PLATFORM=offscreen timeout 120 "$root/bin/velmora" --sim --unattended \
  -f 170 >"$run/stdout.txt" 2>"$run/stderr.txt")
rc=$?
set -e
[ "$rc" -eq 0 ] || fail "velmora --sim --unattended -f 170 ended with $rc: $(cat "$run/stderr.txt")"
log="$run/velmora.deb"
if [ ! -f "$log" ]; then
  fail "no velmora.deb in the working folder"
else
  grep -qF "NFORCE2: set_fsb(): Setting FSB to 170 done" "$log" || fail "the FSB was not set to 170"
  # sensormap.ini is in neither the working folder nor beside the program: only the data
  # folder of the installation has it.
  grep -qF "VELMORA: Loaded sensor definitions from sensormap.ini" "$log" ||
    fail "the installed sensormap.ini was not found"
  if [ "$failures" -ne 0 ]; then
    echo "--- velmora.deb:" >&2
    cat "$log" >&2
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installation OK"
