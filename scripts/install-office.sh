#!/usr/bin/env bash
# Installs LibreOffice Writer without its desktop front end, for the RTF interoperability tests.
set -euo pipefail
if ! command -v soffice >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends libreoffice-writer-nogui
fi
