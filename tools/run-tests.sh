#!/usr/bin/env bash
# Installs, builds and runs the whole test suite. VELTA_BUILD_DIR and extra cmake
# arguments (e.g. -DVELTA_SANITIZE=ON) select another build.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
dir="${VELTA_BUILD_DIR:-$top/build}"
"$top/tools/install-deps.sh"
"$top/tools/build.sh" "$dir" "$@"
cd "$dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600
