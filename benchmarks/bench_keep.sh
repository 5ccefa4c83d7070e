#!/usr/bin/env bash
# Backs up one generated tree to ZIP again and again, alternating a destination that keeps 5
# earlier archives with one that keeps none, and prints the median time of a run of each. The
# runs after the sixth also delete the oldest kept archive. Then times the rotation of a 3-volume
# set alone.
#   benchmarks/bench_keep.sh [MiB] [runs]     (default: 50 7)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${CORVALE_BUILD_DIR:-build}"
[ -f "$build_dir/CMakeCache.txt" ] || scripts/build.sh
cmake --build "$build_dir" -j2 --target bench_zip >/dev/null
bench="$(pwd)/$build_dir/benchmarks/bench_zip"

size="${1:-50}"
runs="${2:-7}"
work="$(mktemp -d "${TMPDIR:-/tmp}/bench_keep.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$bench" generate "$work/tree" "$size" >/dev/null
mkdir -p "$work/keep0" "$work/keep5"

seconds() { sed -n 's/.*, \([0-9.]*\) s,.*/\1/p'; }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
: >"$work/keep0.times"
: >"$work/keep5.times"
for ((run = 1; run <= runs; run++)); do
  "$bench" backup "$work/tree" "$work/keep0/backup.zip" 0 2>/dev/null | seconds >>"$work/keep0.times"
  "$bench" backup "$work/tree" "$work/keep5/backup.zip" 5 2>/dev/null | seconds >>"$work/keep5.times"
  # Each archive a second apart, so that the kept ones have names of their own without "-2".
  sleep 1
done
printf '%s MiB tree, %s runs each: KeepArchives 0 median %s s, KeepArchives 5 median %s s\n' "$size" "$runs" \
  "$(median <"$work/keep0.times")" "$(median <"$work/keep5.times")"
printf 'files in the destination afterwards: KeepArchives 0: %s, KeepArchives 5: %s\n' \
  "$(ls "$work/keep0" | wc -l)" "$(ls "$work/keep5" | wc -l)"
"$bench" rotation "$work/rotation"
