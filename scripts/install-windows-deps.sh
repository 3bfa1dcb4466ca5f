#!/usr/bin/env bash
# Installs, with apt-get, what the Windows cross-build and its tests under Wine need: the MinGW-w64
# compiler with posix threads, Wine (64-bit), NSIS for the installer, and GoogleTest's sources.
set -euo pipefail
packages=(
  g++-mingw-w64-x86-64-posix
  wine wine64
  nsis
  googletest
  util-linux  # flock and setsid around the Wine server
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
    --no-install-recommends "${missing[@]}"
fi
