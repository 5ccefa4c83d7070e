#!/usr/bin/env bash
# Sets up, builds and starts Corvale. Arguments go to the program (for example /HIDE).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
exec "${CORVALE_BUILD_DIR:-build}/app/corvale" "$@"
