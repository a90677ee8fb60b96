#!/usr/bin/env bash
# Installs what the station needs to build, run and be tested on Debian 12.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-charts-dev libgl-dev
  libsqlite3-dev pxlib-dev libmodbus-dev libxlsxwriter-dev libkainjow-mustache-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth dbus fonts-liberation2 fonts-dejavu-core
  imagemagick poppler-utils unzip
)
# LibreOffice only for tools/check-xlsx-with-libreoffice.sh (large; not needed by ctest).
if [ "${VELTA_WITH_LIBREOFFICE:-0}" = 1 ]; then packages+=(libreoffice-calc-nogui); fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
