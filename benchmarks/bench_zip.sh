#!/usr/bin/env bash
# Backs up generated trees to ZIP at the highest level through Corvale's engine and with `zip -r -9`,
# and prints wall time and peak memory of both and their ratios. Peak memory should not grow with
# the tree: no file is read whole into memory.
#   benchmarks/bench_zip.sh [MiB ...]     (default: 100 400)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${CORVALE_BUILD_DIR:-build}"
[ -f "$build_dir/CMakeCache.txt" ] || scripts/build.sh
cmake --build "$build_dir" -j2 --target bench_zip >/dev/null
bench="$(pwd)/$build_dir/benchmarks/bench_zip"

sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100 400)
work="$(mktemp -d "${TMPDIR:-/tmp}/bench_zip.XXXXXX")"
trap 'rm -rf "$work"' EXIT

printf '%-8s %-8s %10s %12s %10s %12s %10s %10s\n' "tree" "" "engine s" "engine KiB" "zip s" "zip KiB" "time x" "memory x"
for size in "${sizes[@]}"; do
  tree="$work/tree-$size"
  "$bench" generate "$tree" "$size" >/dev/null
  /usr/bin/time -f "%e %M" -o "$work/engine.time" "$bench" backup "$tree" "$work/engine.zip" >"$work/engine.out"
  (cd "$work" && /usr/bin/time -f "%e %M" -o "$work/zip.time" zip -q -r -9 "$work/zip.zip" "tree-$size")
  read -r engine_s engine_kib <"$work/engine.time"
  read -r zip_s zip_kib <"$work/zip.time"
  engine_mib=$(( $(stat -c %s "$work/engine.zip") >> 20 ))
  zip_mib=$(( $(stat -c %s "$work/zip.zip") >> 20 ))
  awk -v t="$size MiB" -v es="$engine_s" -v ek="$engine_kib" -v zs="$zip_s" -v zk="$zip_kib" \
    'BEGIN { printf "%-8s %-8s %10.2f %12d %10.2f %12d %10.2f %10.2f\n", t, "", es, ek, zs, zk, es / zs, ek / zk }'
  echo "         archives: engine ${engine_mib} MiB, zip ${zip_mib} MiB; throughput engine $(awk -v s="$size" -v t="$engine_s" 'BEGIN { printf "%.1f", s / t }') MiB/s"
  rm -rf "$tree" "$work/engine.zip" "$work/zip.zip"
done
