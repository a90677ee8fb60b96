#!/usr/bin/env bash
# The station on a screen nobody looks at (run under xvfb-run by tools/run-station.sh):
# starts it, answers its start-up box as the operator would, and waits for it to end.
#   run-headless.sh STATION_PROGRAM
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$1" &
station=$!
trap 'kill -TERM "$station" 2>/dev/null || true' INT TERM HUP
"$here/answer-start-up-box.sh" "$station" || true
status=0
wait "$station" || status=$?
# A signal handled by the trap interrupts the first wait; wait for the real end.
kill -0 "$station" 2>/dev/null && { wait "$station" || status=$?; }
exit "$status"
