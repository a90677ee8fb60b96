#!/usr/bin/env bash
# Long fuzz runs with libFuzzer (clang, AddressSanitizer and UndefinedBehaviorSanitizer on):
#   tools/run-fuzz.sh [SECONDS [TARGET...]]     (default 600 s each, every target)
# Builds the targets into build-fuzz/, fuzzes each from a copy of its seed corpus in
# tests/fuzz/corpus/, and prints libFuzzer's final figures; a finding stops the run with
# its input in build-fuzz/findings/. The seed corpus also runs in ctest on every build.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"; shift || true
all=(legacy_reader native_frame read_plan number_text plc_values server_project report_project dataset_file)
targets=("$@"); [ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
VELTA_WITH_FUZZ=1 bash "$top/tools/install-deps.sh"
dir="$top/build-fuzz"
export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=true
mkdir -p "$dir"
CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELTA_FUZZ=ON -DVELTA_SANITIZE=ON -DVELTA_BUILD_BENCH=OFF > "$dir/configure.log" 2>&1 ||
  { cat "$dir/configure.log"; exit 1; }
mkdir -p "$dir/findings"
for t in "${targets[@]}"; do
  cmake --build "$dir" -j "$(nproc)" --target "${t}_fuzz"
  work="$dir/corpus/$t"
  mkdir -p "$work"
  cp -n "$top/tests/fuzz/corpus/$t/"* "$work/" 2>/dev/null || true
  echo "fuzzing $t for $seconds s"
  ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    "$dir/tests/fuzz/${t}_fuzz" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
    -artifact_prefix="$dir/findings/$t-" "$work"
done
