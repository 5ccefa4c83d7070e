#!/usr/bin/env bash
# Starts corvale on a private X server and session bus with a stand-in StatusNotifierItem watcher
# (the part of a panel that KDE, XFCE and GNOME's AppIndicator extension provide) and prints what
# the panel gets: the item's title, tool tip, icon and menu. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
exec /usr/bin/python3 scripts/check-tray.py "${CORVALE_BUILD_DIR:-build}/app/corvale"
