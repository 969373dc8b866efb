#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, when it is missing.
# Runs as root (or through sudo); installs nothing when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build make g++ googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 libwine-dev
  xvfb xauth x11-apps imagemagick librsvg2-bin
  clang libclang-rt-14-dev
  python3
  zip unzip
  socat
  dpkg-dev help2man man-db
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then
    sudo="sudo"
  else
    echo "bootstrap: these packages are missing and this is not root: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq </dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
