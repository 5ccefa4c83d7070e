#!/usr/bin/env bash
# Benchmark (not a test): a 7z backup of a generated tree of a few hundred MiB through Corvale's
# engine against `7z a` with the same settings. Prints wall time, CPU time, peak memory and ratios.
#   benchmarks/bench_sevenzip.sh [--size MiB] [--level 0-4] [--volume bytes] [--password text] [--runs n] [--work folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${CORVALE_BUILD_DIR:-build}"
[ -f "$build_dir/CMakeCache.txt" ] || scripts/build.sh
cmake --build "$build_dir" --target bench_sevenzip -j2
exec "$build_dir/benchmarks/bench_sevenzip" "$@"
