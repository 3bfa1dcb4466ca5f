#!/usr/bin/env bash
# Prepares the Wine prefix of a Windows build and keeps one Wine server running for it.
#   scripts/wine-prefix.sh PREFIX          make the prefix (once) and start its server (once)
#   scripts/wine-prefix.sh --stop PREFIX   end that server
# The server is started detached (its own session, no inherited descriptors): a server started by
# a test program would hold the test's output pipe open and CTest would wait for it for ever.
# Calls from parallel tests are serialised by a lock file beside the prefix.
set -euo pipefail
stop=0
if [ "${1:-}" = "--stop" ]; then stop=1; shift; fi
prefix=${1:?usage: wine-prefix.sh [--stop] PREFIX}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Wine's server socket for a prefix lives in TMP/server-DEV-INODE (hexadecimal), where TMP is
# /tmp/.wine-UID, or with Debian's Wine the folder under /tmp named in the prefix's file
# "wineserver".
server_socket() {
  local dev ino dir
  read -r dev ino < <(stat -c '%d %i' "$prefix")
  dir=/tmp/.wine-$(id -u)
  [ -r "$prefix/wineserver" ] && dir=/tmp/$(cat "$prefix/wineserver")
  printf '%s/server-%x-%x/socket' "$dir" "$dev" "$ino"
}

if [ "$stop" = 1 ]; then
  [ -S "$(server_socket)" ] && wineserver -k 2>/dev/null || true
  exit 0
fi

exec 9>"$prefix.lock"
flock 9
started=0
if [ ! -S "$(server_socket)" ]; then
  setsid wineserver -p </dev/null >/dev/null 2>&1 9>&- &
  for _ in $(seq 100); do [ -S "$(server_socket)" ] && break; sleep 0.1; done
  started=1
fi
if [ ! -f "$prefix/.relvane-ready" ]; then
  # A fresh prefix: Wine's own first-run set-up, without the .NET and HTML engine installers.
  wineboot -i </dev/null >/dev/null 2>&1 9>&-
  touch "$prefix/.relvane-ready"
elif [ "$started" = 1 ]; then
  # A new server for a prefix made earlier: its services start now, not in the first test.
  wineboot </dev/null >/dev/null 2>&1 9>&-
fi
