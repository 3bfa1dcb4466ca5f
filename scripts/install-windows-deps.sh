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
"$(dirname "$0")/apt-install-missing.sh" "${packages[@]}"
