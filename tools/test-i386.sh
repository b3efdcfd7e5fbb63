#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Socket A build: velmora for 32-bit x86 without SSE2, on the system its users run.
#
#  1. A Debian 12 i386 root (debootstrap, minbase) in OUT/root, made once and reused.
#  2. In that root, `make test` as on the real PC: it installs what the build needs, with
#     Qt 5.15 (Debian's Qt 6 for i386 requires SSE2), configures without options, builds with
#     Debian i386's default code generation (i686, x87 floating point) and runs every test.
#     The x86-64 kernel runs the 32-bit programs natively.
#  3. The built program holds no SSE2 instruction (objdump), and uses Qt 5.
#  4. The program on an emulated Athlon without SSE2 (qemu-i386 -cpu athlon,-sse2, Debian's
#     qemu-user from bookworm-backports, unpacked into OUT/qemu), on the
#     simulated board: a command-line run and a window start with a close on SIGTERM, each
#     ending with 0 and no fault recorded by the simulated board.
#
# Usage: tools/test-i386.sh [OUT]   (OUT defaults to build-i386; needs root for the chroot)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$top/build-i386}")
root=$out/root
step() { printf '\n== i386: %s\n' "$*"; }
fail() { printf 'i386: FAILED: %s\n' "$*" >&2; exit 1; }

# The machine's own mirror for a suite, read from its apt sources (one-line "deb" entries and
# deb822 stanzas alike): the root and the emulator come from where this machine's packages come.
apt_mirror() {
  local suite=$1 files=() f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && files+=("$f")
  done
  [ ${#files[@]} -gt 0 ] || return 0
  awk -v suite="$suite" '
    /^[ \t]*$/ { uri = ""; next }
    /^URIs:/ { uri = $2; next }
    /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite && uri != "") { print uri; exit } next }
    /^deb[ \t]/ {
      i = 2
      if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
      if ($(i + 1) == suite) { print $i; exit }
    }
  ' "${files[@]}"
}
mirror=${VELMORA_DEBIAN_MIRROR:-$(apt_mirror bookworm)}
security_mirror=${VELMORA_DEBIAN_SECURITY_MIRROR:-$(apt_mirror bookworm-security)}
[ -n "$mirror" ] || fail "no bookworm mirror in this machine's apt sources; set VELMORA_DEBIAN_MIRROR"
[ -n "$security_mirror" ] ||
  fail "no bookworm-security mirror in this machine's apt sources; set VELMORA_DEBIAN_SECURITY_MIRROR"

[ "$(id -u)" -eq 0 ] || fail "the i386 root needs root (debootstrap, chroot, mounts); run it with sudo"

# The root's kernel file systems are mounted only while this script runs, and every mount is
# undone on the way out, so that removing the build folder never reaches into /proc or /sys.
mounts=(proc sys dev/pts dev/shm)
unmount_all() {
  local m
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    m=$root/${mounts[i]}
    if mountpoint -q "$m"; then umount "$m" || umount -l "$m"; fi
  done
}
mount_all() {
  unmount_all
  mount -t proc proc "$root/proc"
  mount -t sysfs -o ro sysfs "$root/sys"
  mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
  mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
}
trap unmount_all EXIT
in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

# --- 1. The root ---------------------------------------------------------------------------
if [ ! -f "$root/.velmora-root" ]; then
  step "making a Debian 12 i386 root in $root"
  unmount_all
  rm -rf --one-file-system "$root"
  mkdir -p "$out"
  debootstrap --arch=i386 --variant=minbase bookworm "$root" "$mirror" >"$out/debootstrap.log" 2>&1 ||
    { tail -n 20 "$out/debootstrap.log"; fail "debootstrap"; }
  # No services start inside the root.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"
  touch "$root/.velmora-root"
fi
# The root's package sources, written at every run so that a root made earlier takes the
# machine's mirrors as they are now: the release, its updates and its security fixes.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security_mirror bookworm-security main
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount_all

# --- 2. Build and test in the root ---------------------------------------------------------
# The sources are copied, not mounted: the root never holds a way back into the work tree.
# The copy keeps the files' times, so an unchanged file is not built again.
step "copying the sources into the root"
rm -rf --one-file-system "$root/velmora"
mkdir -p "$root/velmora"
(cd "$top" && git ls-files -z --cached --others --exclude-standard |
  xargs -0 tar --no-recursion -cf - 2>/dev/null) | tar -xf - -C "$root/velmora" 2>/dev/null ||
  fail "copying the sources"

# What a user of a Socket A PC runs: `make test` installs what is missing (Qt 5.15 on i386),
# configures without options, builds and runs every test. Its log is kept for the warnings.
step "make test in the root, as on the real PC"
in_root /velmora/tools/install-deps.sh test || fail "installing the build's packages in the root"
rc=0
in_root make -C /velmora BUILD=/velmora-build test 2>&1 | tee "$out/make-test.log" || rc=$?
[ "$rc" -eq 0 ] || fail "make test in the root"
grep -q 'velmora: building with Qt 5\.15' "$out/make-test.log" || fail "the build did not use Qt 5.15"
if in_root dpkg-query -W -f='${Status}' qt6-base-dev 2>/dev/null | grep -q "install ok installed"; then
  fail "the root holds Qt 6, which no Socket A CPU can run; remove $root to start afresh"
fi
warning='^[^ :]+:[0-9]+:[0-9]+: warning:|^CMake Warning'
if grep -Eq "$warning" "$out/make-test.log"; then
  grep -E -A3 "$warning" "$out/make-test.log" | head -n 40
  fail "the 32-bit build has warnings"
fi

# --- 3. What the program is made of --------------------------------------------------------
program=$root/velmora-build/velmora
step "the program: 32-bit, Qt 5, no SSE2"
readelf -h "$program" | grep -q 'Machine:.*Intel 80386' || fail "velmora is not a 32-bit x86 program"
readelf -d "$program" | grep -q 'libQt5Widgets' || fail "velmora does not use Qt 5"
readelf -d "$program" | grep -q 'libQt6' && fail "velmora uses Qt 6"
"$top/tools/check-no-sse2.sh" "$program" || fail "velmora holds instructions a Socket A CPU cannot run"

# --- 4. On an emulated Athlon without SSE2 -------------------------------------------------
# qemu-user from bookworm-backports, unpacked into OUT/qemu and left out of the system: the
# qemu 7.2 of bookworm itself hands a 32-bit x86 program with threads a broken state after a
# signal handler returns (pthread_join then fails with EDEADLK; velmora's window hangs in its
# close on SIGTERM), which qemu 10 does not.
qemu=$out/qemu/usr/bin/qemu-i386
if [ ! -x "$qemu" ]; then
  step "fetching qemu-user from bookworm-backports into $out/qemu"
  apt_dir=$out/qemu-apt
  rm -rf --one-file-system "$apt_dir" "$out/qemu"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/download"
  echo "deb $mirror bookworm-backports main" >"$apt_dir/sources.list"
  apt_own=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
    -o APT::Sandbox::User=root)
  apt-get "${apt_own[@]}" update -qq || fail "apt-get update for bookworm-backports"
  (cd "$apt_dir/download" && apt-get "${apt_own[@]}" download -qq qemu-user/bookworm-backports) ||
    fail "downloading qemu-user from bookworm-backports"
  dpkg -x "$apt_dir"/download/qemu-user_*.deb "$out/qemu"
  rm -rf --one-file-system "$apt_dir"
fi
"$qemu" --version | head -n 1
athlon=("$qemu" -L "$root" -cpu athlon,-sse2 "$program")
work=$out/athlon
no_faults() {
  grep -q '^\[Faults\]' "$work/velmora-sim.ini" || fail "$1: no simulated board state saved"
  grep -A1 '^\[Faults\]' "$work/velmora-sim.ini" | grep -q '^count=0' ||
    { grep -A20 '^\[Faults\]' "$work/velmora-sim.ini" >&2; fail "$1: the simulated board recorded a fault"; }
  if grep -q '^SIM: ' "$work/velmora.deb"; then
    grep '^SIM: ' "$work/velmora.deb" >&2
    fail "$1: the simulated board reported a problem"
  fi
}
fresh_work() { rm -rf --one-file-system "$work"; mkdir -p "$work" && mkdir -m 700 "$work/runtime"; }
# No display: a setting run goes offscreen by itself; the window runs offscreen when asked to
# with --unattended, as over SSH.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/runtime")

step "athlon,-sse2: velmora --sim=7 -s 1.70 -f 180"
fresh_work
rc=0
(cd "$work" && "${headless[@]}" "${athlon[@]}" --sim=7 -s 1.70 -f 180) || rc=$?
[ "$rc" -eq 0 ] || { tail -n 30 "$work/velmora.deb" >&2; fail "the command-line run ended with $rc"; }
no_faults "the command-line run"
grep -E '^(VELMORA|NFORCE2|ATXP1).*(1\.70|180)' "$work/velmora.deb" | tail -n 4

step "athlon,-sse2: the window starts, reads the sensors and closes on SIGTERM"
fresh_work
(cd "$work" && exec "${headless[@]}" "${athlon[@]}" --sim=7 --unattended >"$work/stdout.txt" \
  2>"$work/stderr.txt") &
pid=$!
for _ in $(seq 1 600); do
  grep -q '^CPULOAD: thread created' "$work/velmora.deb" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
grep -q '^CPULOAD: thread created' "$work/velmora.deb" 2>/dev/null ||
  { kill -KILL "$pid" 2>/dev/null; cat "$work/stderr.txt" >&2; fail "the window did not finish its start"; }
sleep 2
kill -TERM "$pid"
# A close that hangs fails here instead of holding CI until its time runs out.
for _ in $(seq 1 300); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$pid" 2>/dev/null; then
  kill -KILL "$pid"
  tail -n 30 "$work/velmora.deb" >&2
  fail "the window did not close within 60 s of SIGTERM"
fi
rc=0
wait "$pid" || rc=$?
[ "$rc" -eq 0 ] || { tail -n 30 "$work/velmora.deb" >&2; fail "the window ended with $rc after SIGTERM"; }
grep -q '^SENSOR: Found [1-9][0-9]* sensor(s)$' "$work/velmora.deb" || fail "no sensor found"
[ -f "$work/config.ini" ] || fail "the close did not save config.ini"
no_faults "the window"
grep -E '^(SENSOR: Found|WINBOND|ITE|LM90)' "$work/velmora.deb"

step "passed: the 32-bit program builds with Qt 5.15, passes every test and runs without SSE2"
