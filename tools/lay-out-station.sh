#!/usr/bin/env bash
# Lays out a fresh station under the station root when parts of it are missing: the
# fixed folders, the PLC server project file (simulated machine) and the report project.
# Existing files are never overwritten.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
root="${VELTA_STATION_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/velta-station}"
mkdir -p "$root/D/rododezuz/data" "$root/D/rododezuz/sistem" \
         "$root/C/Documents and Settings/Administrator/Desktop"
for f in "$top"/resources/station/sistem/*; do
  [ -e "$f" ] || continue
  dest="$root/D/rododezuz/sistem/$(basename "$f")"
  [ -e "$dest" ] || cp "$f" "$dest"
done
echo "station root: $root"
