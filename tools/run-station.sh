#!/usr/bin/env bash
# Installs, builds, lays out a fresh station when there is none, and starts it on the
# simulated machine. Without a display it runs under a virtual one (xvfb-run).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/tools/install-deps.sh"
"$top/tools/build.sh" "$top/build"
"$top/tools/lay-out-station.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "no display: starting under xvfb-run"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$top/build/app/velta-station"
fi
exec "$top/build/app/velta-station"
