#!/usr/bin/env bash
# Installs what the station needs to build, run, be tested and be packaged on Debian 12,
# on a machine that has nothing else (a minimal debootstrap root proves it in CI).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(
  # build
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
  libsqlite3-dev pxlib-dev libmodbus-dev libxlsxwriter-dev libkainjow-mustache-dev
  # the plant database: libpq, and the PostgreSQL 15 server its tests and benchmark start
  libpq-dev postgresql
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  imagemagick poppler-utils unzip
  # a logind stand-in on the power-off test's private D-Bus bus
  python3-dbusmock
  # run time: a virtual screen (and its key presser) for a PC without one, the fonts, the desktop's
  # opener for workbooks
  xvfb xauth xdotool dbus fonts-liberation2 fonts-dejavu-core xdg-utils qt6-translations-l10n
  # the Debian package: dependencies from the binaries (dpkg-shlibdeps; CPack needs file)
  dpkg-dev file
)
# LibreOffice only for tools/check-xlsx-with-libreoffice.sh (large; not needed by ctest).
if [ "${VELTA_WITH_LIBREOFFICE:-0}" = 1 ]; then packages+=(libreoffice-calc-nogui); fi
# clang and libFuzzer only for tools/run-fuzz.sh (ctest replays the seed corpora without them).
if [ "${VELTA_WITH_FUZZ:-0}" = 1 ]; then packages+=(clang libclang-rt-14-dev); fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
