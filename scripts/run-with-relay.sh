#!/usr/bin/env bash
# `make run`: the workbench with a simulated relay on COM<n> (default 200), preselected in the
# serial settings. The relay ends when the window closes (or on Ctrl-C).
set -euo pipefail
build=${1:-build}
com=${2:-200}
app="$build/src/app/relvane"
relay="$build/tools/relay/relvane-relay"
if [ ! -x "$app" ]; then
  exec "$build/tools/decode/relvane-decode" --help
fi

# Where the relay registers its port (a relative XDG_CONFIG_HOME does not count).
config=${XDG_CONFIG_HOME:-}
[[ "$config" == /* ]] || config="$HOME/.config"
link="$config/relvane/ports/COM$com"

"$relay" --com "$com" --event-interval 10000 --quiet &
relay_pid=$!
trap 'kill "$relay_pid" 2>/dev/null || true; wait "$relay_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -L "$link" ] && break
  if ! kill -0 "$relay_pid" 2>/dev/null; then
    echo "The simulated relay did not start; the workbench starts without it." >&2
    "$app"
    exit
  fi
  sleep 0.1
done
"$app" --relay "COM$com"
