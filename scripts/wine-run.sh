#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine (CTest's emulator): wine-run.sh PROGRAM ARGS...
# The Wine prefix is the build's own, <build>/wineprefix, found from the program's folder;
# scripts/wine-prefix.sh makes it and starts its one server.
set -euo pipefail
build=$(cd "$(dirname "$1")" && pwd)
while [ ! -f "$build/CMakeCache.txt" ] && [ "$build" != / ]; do build=$(dirname "$build"); done
prefix=$build/wineprefix
"$(dirname "$0")/wine-prefix.sh" "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
