#!/usr/bin/env bash
# Installs, builds and starts the station on the simulated machine; the program lays out
# a missing station root itself. Without a display it runs on a virtual one (xvfb-run),
# its start-up box answered, and says where its records go and how to stop it.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/tools/install-deps.sh"
"$top/tools/build.sh" "$top/build"
root="${VELTA_STATION_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/velta-station}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<MSG
No display: the station runs on a virtual screen (xvfb-run) that nobody sees; its
start-up box is answered for you, then it polls the simulated machine and stores a
record for every piece (the machine prints "simulator: piece N finished").
  station root: $root
  data files:   $root/D/rododezuz/data  (one SQLite file per day, T<ddmmyyyy>K.tkv)
  to stop it:   Ctrl+C here, or: pkill -x velta-station
To see the window, run this command on a desktop or with a DISPLAY (ssh -X).
MSG
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$top/tools/run-headless.sh" "$top/build/app/velta-station"
fi
echo "station root: $root (data files in $root/D/rododezuz/data)"
exec "$top/build/app/velta-station"
