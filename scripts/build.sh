#!/usr/bin/env bash
# Configures and builds into build/ (or $CORVALE_BUILD_DIR). Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${CORVALE_BUILD_DIR:-build}"
# ccache, when installed, makes rebuilds in several checkouts cheap; it is not required.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$build_dir/CMakeCache.txt" ] || [ $# -gt 0 ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${CORVALE_BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" "$@"
fi
cmake --build "$build_dir" --parallel "$(nproc)"
