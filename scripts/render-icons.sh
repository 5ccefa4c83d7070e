#!/usr/bin/env bash
# Renders packaging/icons/corvale.svg to the bitmap sizes the hicolor theme installs
# (packaging/icons/corvale-SIZE.png). Run it after changing the drawing and commit the results.
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
if ! command -v rsvg-convert >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends librsvg2-bin
fi
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio corvale.svg --output "corvale-$size.png"
done
