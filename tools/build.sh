#!/usr/bin/env bash
# Configures and builds into the folder given (default build/). Extra arguments go to cmake.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$top/build}"; shift || true
# One compiler cache for every checkout of the project (CI clones into a new folder).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$top}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$dir" -j "$(nproc)"
