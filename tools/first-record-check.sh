#!/usr/bin/env bash
# Runs inside a fresh root where the velta-station package is installed (see
# tools/check-fresh-debian.sh): starts the installed station as a new user would, with no
# station root yet, under Xvfb on the built-in simulated machine, answers the start-up
# box with Return and waits up to a minute for the first record in today's data file.
set -euo pipefail
export HOME=/root
unset VELTA_STATION_ROOT XDG_DATA_HOME
root="$HOME/.local/share/velta-station"
data="$root/D/rododezuz/data/T$(date +%d%m%Y)K.tkv"

for f in /usr/bin/velta-station /usr/bin/velta-plc-sim /usr/bin/velta-report-sample /usr/bin/velta-convert-legacy \
         /usr/share/applications/velta-station.desktop /etc/xdg/autostart/velta-station.desktop \
         /usr/share/icons/hicolor/48x48/apps/velta-station.png \
         /usr/share/velta-station/station/sistem/fatekserver.fcs \
         /usr/share/velta-station/station/sistem/rapor.rav; do
  [ -e "$f" ] || { echo "FAIL: the package did not install $f"; exit 1; }
done
[ "$(command -v velta-station)" = /usr/bin/velta-station ] || { echo "FAIL: velta-station not on the PATH"; exit 1; }
[ ! -e "$root" ] || { echo "FAIL: a station root exists before the first start"; exit 1; }

Xvfb :77 -screen 0 1280x1024x24 -nolisten tcp > /tmp/xvfb.log 2>&1 &
xvfb=$!
export DISPLAY=:77
station=""
finish() {
  [ -z "$station" ] || kill "$station" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  echo "--- station's standard error:"; cat /tmp/station.log 2>/dev/null || true
}
trap finish EXIT
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

velta-station > /tmp/station.log 2>&1 &
station=$!
"$(dirname "$0")/answer-start-up-box.sh" "$station"

for second in $(seq 60); do
  if [ -f "$data" ]; then
    n="$(sqlite3 -readonly "$data" 'select count(*) from records' 2>/dev/null || echo 0)"
    if [ "${n:-0}" -ge 1 ]; then
      echo "first record in $data after $second s:"
      sqlite3 -readonly -header "$data" 'select * from records order by SIRANO limit 1'
      echo "station root laid out by the program:"
      (cd "$root" && find . -type f | sort)
      exit 0
    fi
  fi
  kill -0 "$station" 2>/dev/null || { echo "FAIL: the station ended"; exit 1; }
  sleep 1
done
echo "FAIL: no record in $data within a minute"
exit 1
