#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Starts velmora in ./run (its settings files and the debug log velmora.deb land there).
# Without a display it runs on a virtual X display for a few seconds, saves a screenshot,
# closes the window and shows the end of the debug log.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$top/run"
cd "$top/run"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$top/build/velmora" "$@"
fi

seconds=${VELMORA_DEMO_SECONDS:-4}
echo "No display: starting velmora on a virtual X display (Xvfb) for $seconds seconds."
export VELMORA_ARGS="$*"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$0" $VELMORA_ARGS &
  pid=$!
  sleep "$1"
  import -window root screenshot.png
  kill -TERM "$pid"
  wait "$pid"
' "$top/build/velmora" "$seconds"
echo "Screenshot of the window: $top/run/screenshot.png"
echo "Debug log: $top/run/velmora.deb (last lines below)"
tail -n 12 velmora.deb
