#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this Debian machine lacks.
set -euo pipefail
packages=(
  cmake make g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev googletest
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 qt6-translations-l10n
  fonts-wqy-zenhei
  xvfb xauth
  poppler-utils
  python3  # the independent COMTRADE reader of the disturbance upload test (standard library only)
  tshark
  dpkg-dev file librsvg2-bin desktop-file-utils appstream lintian
)
"$(dirname "$0")/apt-install-missing.sh" "${packages[@]}"
