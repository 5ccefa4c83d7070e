#!/usr/bin/env bash
# Sets up, builds and runs every test through CTest.
#   scripts/test.sh               the normal build, warnings as errors
#   scripts/test.sh --sanitize    an ASan+UBSan build in build-sanitize/
#   scripts/test.sh --sanitize-thread   a ThreadSanitizer build in build-tsan/
# Further arguments go to ctest (for example -L core, -R tst_common).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

options=(-DCORVALE_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  shift
  export CORVALE_BUILD_DIR=build-sanitize CORVALE_BUILD_TYPE=Debug
  options+=(-DCORVALE_SANITIZE=ON)
elif [ "${1:-}" = "--sanitize-thread" ]; then
  shift
  export CORVALE_BUILD_DIR=build-tsan CORVALE_BUILD_TYPE=Debug
  options+=(-DCORVALE_SANITIZE_THREAD=ON)
fi
build_dir="${CORVALE_BUILD_DIR:-build}"
scripts/build.sh "${options[@]}"
cd "$build_dir"
ctest --output-on-failure --timeout 600 "$@"
