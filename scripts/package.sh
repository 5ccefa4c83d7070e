#!/usr/bin/env bash
# Builds the Debian package (build-package/corvale_VERSION-1_ARCH.deb) with Debian's compiler
# flags and checks it with lintian.
#   scripts/package.sh           build the package and run lintian on it
#   scripts/package.sh --check   then also install it into a throw-away Debian 12 root made with
#                                mmdebstrap, use both programs there and remove it again
#                                (downloads a minimal system and Qt: a few minutes)
set -euo pipefail
cd "$(dirname "$0")/.."
check=false
[ "${1:-}" = "--check" ] && check=true

scripts/deps.sh
tools=(dpkg-dev fakeroot lintian)
$check && tools+=(mmdebstrap)
missing=()
for package in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Configured for /usr with the flags a Debian package build uses (hardening included), without tests.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
build_dir="${CORVALE_PACKAGE_BUILD_DIR:-build-package}"
CORVALE_BUILD_DIR="$build_dir" CORVALE_BUILD_TYPE=None scripts/build.sh \
  -DCMAKE_INSTALL_PREFIX=/usr -DCORVALE_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
rm -f "$build_dir"/corvale_*.deb
(cd "$build_dir" && cpack -G DEB)
deb="$(ls "$build_dir"/corvale_*.deb)"
echo "Package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

# Every remark lintian still makes is either fixed here or answered in packaging/debian/lintian-overrides.
lintian --info --display-info --fail-on error,warning "$deb"
echo "lintian: no errors or warnings"

if $check; then
  # The throw-away root: Debian 12 with its updates (7-Zip comes from the security updates) and apt,
  # the package installed by apt with its dependencies.
  # The checks run inside it; the root is discarded afterwards.
  # Downloaded packages are kept in the build folder for the next check.
  cache="$build_dir/apt-cache"
  mkdir -p "$cache"
  mmdebstrap --variant=apt --include="$(readlink -f "$deb")" --skip=essential/unlink \
    --hook-dir=/usr/share/mmdebstrap/hooks/file-mirror-automount \
    --setup-hook='mkdir -p "$1"/var/cache/apt/archives/' \
    --setup-hook="sync-in $cache /var/cache/apt/archives/" \
    --customize-hook="sync-out /var/cache/apt/archives $cache" \
    --customize-hook='copy-in packaging/debian/check-installed.sh /tmp' \
    --customize-hook='chroot "$1" sh /tmp/check-installed.sh' \
    bookworm /dev/null \
    "deb http://deb.debian.org/debian bookworm main" \
    "deb http://deb.debian.org/debian bookworm-updates main" \
    "deb http://deb.debian.org/debian-security bookworm-security main"
fi
