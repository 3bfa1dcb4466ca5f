#!/usr/bin/env bash
# Starts the workbench under a virtual X server once per protocol mode, on the demonstration
# relay (no device, no network traffic), and saves each window as a PNG in screenshots/; then the
# statistics panel, the first window beside a simulated relay and its port list.
set -euo pipefail
build="${1:-build}"
root="$(cd "$(dirname "$0")/.." && pwd)"
[[ "$build" = /* ]] || build="$root/$build"
app="$build/src/app/relvane"
out="$root/screenshots"
if [ ! -x "$app" ]; then
  echo "screenshots: $app is missing; build it first" >&2
  exit 1
fi
command -v xvfb-run >/dev/null || { echo "screenshots: xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 1; }
mkdir -p "$out"

# One image: the program under a fresh virtual X server with the given arguments.
shot() {
  local file="$out/$1"
  shift
  rm -f "$file"
  QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a -s "-screen 0 1280x800x24" "$app" "$@" --screenshot "$file"
  if [ -s "$file" ]; then
    echo "screenshots: $file"
  else
    echo "screenshots: no image $file" >&2
    exit 1
  fi
}

for mode in 94 103 eth; do
  shot "relvane-$mode.png" --demo-mode "$mode"
done
shot relvane-statistics.png --demo-mode 103 --screenshot-scene statistics

# The disturbance record viewer with the simulated relay's record, kept in docs/ for the README.
QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/bench/bench_record_view" --screenshot "$root/docs/relvane-record-view.png"

# The first window beside a simulated relay, as `make run` opens it, and the port list with the
# relay's port in it; the relay registers in a scratch configuration, not the user's.
relay="$build/tools/relay/relvane-relay"
config="$(mktemp -d)"
XDG_CONFIG_HOME="$config" "$relay" --com 200 --quiet &
relay_pid=$!
trap 'kill "$relay_pid" 2>/dev/null || true; wait "$relay_pid" 2>/dev/null || true; rm -rf "$config"' EXIT
for _ in $(seq 50); do
  [ -L "$config/relvane/ports/COM200" ] && break
  sleep 0.1
done
export XDG_CONFIG_HOME="$config"
shot relvane-first.png --relay COM200
shot relvane-ports.png --relay COM200 --screenshot-scene ports

# The event list and the measurand trends, into docs/: a 103 session of relvane-run against a
# relay raising events and sending measurands on its own cycle, saved with time stamps and
# opened again, so that both views are filled from the log's bytes.
run="$build/tools/run/relvane-run"
if [ -x "$run" ]; then
  "$relay" --protocol 103 --com 202 --event-interval 1500 --measurand-cycle 400 --quiet &
  events_relay=$!
  trap 'kill "$relay_pid" "$events_relay" 2>/dev/null || true; wait "$relay_pid" "$events_relay" 2>/dev/null || true; rm -rf "$config"' EXIT
  for _ in $(seq 50); do
    [ -L "$config/relvane/ports/COM202" ] && break
    sleep 0.1
  done
  printf '%s\n' 'set port COM202' 'set interval 200' 'set limit off 2000' 'command 32901' 'command 32777' \
    'command 32772' 'command 32843' 'command 32848' 'command 32869' 'wait 30000' 'command 32869' > "$config/events.txt"
  QT_QPA_PLATFORM=offscreen "$run" --log "$config/session.rtf" "$config/events.txt" > /dev/null
  out="$root/docs"
  shot relvane-events.png "$config/session.rtf" --screenshot-scene events
  shot relvane-trends.png "$config/session.rtf" --screenshot-scene trends
fi
