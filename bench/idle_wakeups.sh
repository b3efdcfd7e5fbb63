#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# How light velmora is while it sits open and idle: starts the built program on a simulated
# board on a virtual X display (in a temporary working folder, so no settings of yours are read
# or written), lets it settle, then counts over a measured span what all its threads did:
# voluntary context switches (its wake-ups) and CPU time, both per minute.
#
#   bench/idle_wakeups.sh [BINARY] [PROFILE] [SECONDS]    (default build/velmora 7 60)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
binary=$(realpath "${1:-$top/build/velmora}")
profile=${2:-7}
seconds=${3:-60}
settle=${VELMORA_SETTLE_SECONDS:-10}

# One line per thread, "tid switches", its voluntary switches so far.
switches() {
  local status
  for status in /proc/"$1"/task/*/status; do
    awk -v tid="$(basename "$(dirname "$status")")" \
      '/^voluntary_ctxt_switches/ {print tid, $2}' "$status" 2>/dev/null || true
  done
}

# The CPU ticks of the whole process (user + system, ended threads included): utime and
# stime, fields 14 and 15 of stat, counted after the name in parentheses.
cpu_ticks() {
  sed 's/.*) //' /proc/"$1"/stat | awk '{print $12 + $13}'
}

# On the virtual display: the run and its figures.
if [ "${VELMORA_IDLE_INSIDE:-}" = 1 ]; then
  "$binary" --sim="$profile" --unattended &
  pid=$!
  sleep "$settle"
  switches "$pid" > before.txt
  t0=$(cpu_ticks "$pid")
  sleep "$seconds"
  switches "$pid" > after.txt
  t1=$(cpu_ticks "$pid")
  kill -TERM "$pid"
  wait "$pid" || true
  # A thread that lives through the span counts its difference, one born in it all it did;
  # one that ended in it (Qt's pooled threads end after 30 idle seconds) is left out.
  awk -v t=$((t1 - t0)) -v sec="$seconds" -v hz="$(getconf CLK_TCK)" -v p="$profile" '
    FNR == NR { before[$1] = $2; next }
    { woke += $2 - ($1 in before ? before[$1] : 0); threads++ }
    END {
      printf "profile %s, idle for %d s, %d threads at the end\n", p, sec, threads
      printf "wake-ups (voluntary switches): %.0f a minute\n", woke * 60 / sec
      printf "CPU time: %.0f ms a minute\n", t * 1000 / hz * 60 / sec
    }' before.txt after.txt
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
chmod 700 "$work"
export XDG_RUNTIME_DIR="$work"
VELMORA_IDLE_INSIDE=1 xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$top/bench/idle_wakeups.sh" "$binary" "$profile" "$seconds"
