#!/usr/bin/env bash
# Presses OK on the station's start-up box ("DOSYA OLUŞTURULDU" / "BUGÜN İÇİN DOSYA
# OLUŞTURULMUŞ ") on a screen that nobody looks at (Xvfb): the station shows its window
# and starts polling only once the box is answered.
#   answer-start-up-box.sh PID    (DISPLAY names the screen; waits at most 30 s)
# The box is the visible window whose title is the program's caption "VELTA RUZEDIVE "
# (the main window may already be shown, with a blank title, while the box waits).
set -euo pipefail
pid="$1"
for _ in $(seq 300); do
  box="$(xdotool search --onlyvisible --name '^VELTA RUZEDIVE $' 2>/dev/null | head -n1 || true)"
  if [ -n "$box" ]; then
    sleep 0.5   # let the box take its focus and default button
    xdotool windowfocus --sync "$box" key Return
    echo "answered the start-up box (window $box)"
    exit 0
  fi
  kill -0 "$pid" 2>/dev/null || { echo "the station ended before its start-up box" >&2; exit 1; }
  sleep 0.1
done
echo "no start-up box within 30 s" >&2
exit 1
