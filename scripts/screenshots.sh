#!/usr/bin/env bash
# Renders every window of the program to PNG files in screenshots/ (offscreen, no desktop needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
out="${1:-screenshots}"
QT_QPA_PLATFORM=offscreen "${CORVALE_BUILD_DIR:-build}/tests/screenshots/corvale-screenshots" "$out"
