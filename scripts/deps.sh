#!/usr/bin/env bash
# Installs the Debian packages Corvale needs to build, run and test. Quick when all are present.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libsqlite3-dev libzip-dev zlib1g-dev libcurl4-openssl-dev libelf-dev
  libxcb1-dev libxcb-res0-dev libxcb-ewmh-dev libxcb-icccm4-dev
  # run
  p7zip-full xdg-utils fonts-dejavu-core
  # test peers and tools
  zip unzip sqlite3 dbus python3 python3-dbusmock python3-aiosmtpd
  desktop-file-utils appstream hicolor-icon-theme
  pandoc
  x11-apps openbox
  nodejs
  openssl tinyproxy microsocks
  # benchmarks
  time
  xvfb xauth x11-utils xdotool
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
