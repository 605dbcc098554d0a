#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quarnel needs
# (with the argument `windows`: those of the Windows cross build).
# Idempotent: does nothing when everything is there already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libcli11-dev libgcrypt20-dev nlohmann-json3-dev libtomlplusplus-dev
  qt6-base-dev
  # The window's faces: Liberation Sans Narrow has the widths of the face
  # its layout was made for.
  fonts-liberation
  clang libclang-rt-14-dev
  xvfb xdotool imagemagick
  dpkg-dev file man-db desktop-file-utils appstream
  # The end-to-end tests check events and records against their JSON Schemas.
  python3-jsonschema
)
# The Windows cross build (icoutils for the programs' icon, msitools and wixl
# for the installer), and Wine to run its tests (with Wine's own faces:
# without them it draws every text in a fallback face).
if [ "${1:-}" = windows ]; then
  packages=(cmake ninja-build googletest g++-mingw-w64-x86-64-posix libgcrypt-mingw-w64-dev
            libcli11-dev nlohmann-json3-dev libtomlplusplus-dev
            wine wine64 fonts-wine unzip icoutils msitools wixl
            # The station's window is driven on a virtual display.
            xvfb xdotool imagemagick)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep "install ok installed" >/dev/null || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
