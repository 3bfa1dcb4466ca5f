#!/usr/bin/env bash
# Runs a Windows end-to-end test program under Wine against the host's relvane-relay:
#
#   scripts/wine-e2e.sh serial RELAY PREFIX PROGRAM [ARGS...]
#   scripts/wine-e2e.sh eth103 RELAY PREFIX PROGRAM [ARGS...]
#
# serial: a 103 relay on a pseudo-terminal, linked as COM200 of the Wine prefix PREFIX (the
# program finds "COM200" in RELVANE_E2E_COM). eth103: a relay on 127.0.0.1 that connects to the
# program's listener; the ports, free ones, are in RELVANE_E2E_TCP_PORT and RELVANE_E2E_UDP_PORT.
# The relay ends with the program, and so does the link.
set -euo pipefail
kind=${1:?usage: wine-e2e.sh serial|eth103 RELAY PREFIX PROGRAM [ARGS...]}
relay=$2
prefix=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
com=200

work=$(mktemp -d /tmp/relvane-wine-e2e-XXXXXX)
relay_pid=
cleanup() {
  if [[ -n $relay_pid ]]; then
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
  fi
  [[ $kind == serial ]] && rm -f "$prefix/dosdevices/com$com"
  rm -rf "$work"
}
trap cleanup EXIT
"$here/wine-prefix.sh" "$prefix"

case $kind in
  serial)
    XDG_CONFIG_HOME=$work "$relay" --protocol 103 --com "$com" > "$work/relay.out" 2>&1 &
    relay_pid=$!
    link=$work/relvane/ports/COM$com
    for _ in $(seq 100); do [[ -L $link ]] && break; sleep 0.1; done
    [[ -L $link ]] || { cat "$work/relay.out" >&2; echo "wine-e2e: the relay made no COM$com" >&2; exit 1; }
    # Wine opens \\.\COM200 through this link.
    ln -sfn "$(readlink "$link")" "$prefix/dosdevices/com$com"
    export RELVANE_E2E_COM=COM$com
    ;;
  eth103)
    # Ports free a moment ago may be taken by a test running beside this one before the relay
    # binds its UDP port (it then ends at once with status 1): new ports are picked then.
    for _ in $(seq 5); do
      read -r tcp udp < <(python3 -c '
import socket
t = socket.socket(); t.bind(("127.0.0.1", 0))
u = socket.socket(type=socket.SOCK_DGRAM); u.bind(("127.0.0.1", 0))
print(t.getsockname()[1], u.getsockname()[1])')
      "$relay" --protocol eth103 --tcp-port "$tcp" --udp-port "$udp" > "$work/relay.out" 2>&1 &
      relay_pid=$!
      sleep 0.5
      kill -0 "$relay_pid" 2>/dev/null && break
      wait "$relay_pid" 2>/dev/null || true
      relay_pid=
    done
    [[ -n $relay_pid ]] || { cat "$work/relay.out" >&2; echo "wine-e2e: the relay did not start" >&2; exit 1; }
    export RELVANE_E2E_TCP_PORT=$tcp RELVANE_E2E_UDP_PORT=$udp
    ;;
  *)
    echo "wine-e2e: unknown kind $kind" >&2
    exit 2
    ;;
esac

status=0
"$here/wine-run.sh" "$@" || status=$?
if [[ $status != 0 ]]; then
  echo "--- relay output" >&2
  cat "$work/relay.out" >&2
fi
exit "$status"
