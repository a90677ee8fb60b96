#!/usr/bin/env bash
# Builds the Debian package dist/velta-station_<version>_amd64.deb: installs what the
# build needs, makes a release build without tests in build-package/ (or VELTA_BUILD_DIR)
# and runs CPack's DEB generator there (library dependencies from dpkg-shlibdeps).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
dir="${VELTA_BUILD_DIR:-$top/build-package}"
"$top/tools/install-deps.sh"
"$top/tools/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release -DVELTA_BUILD_TESTS=OFF -DVELTA_BUILD_BENCH=OFF
rm -f "$top"/dist/velta-station_*_amd64.deb
(cd "$dir" && cpack -G DEB)
ls "$top"/dist/velta-station_*_amd64.deb
