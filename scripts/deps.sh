#!/usr/bin/env bash
# Installs the Debian packages that building, testing and trying the program need.
set -euo pipefail
PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev qt6-svg-dev
  qt6-translations-l10n libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth x11-apps
  imagemagick poppler-utils fonts-dejavu-core libfftw3-dev pkgconf
  dpkg-dev file desktop-file-utils appstream shared-mime-info groff-base)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
