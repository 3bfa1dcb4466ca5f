#!/usr/bin/env bash
# Starts the workbench under a virtual X server once per protocol mode, on the demonstration
# relay (no device, no network traffic), and saves each window as a PNG in screenshots/.
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
for mode in 94 103 eth; do
  file="$out/relvane-$mode.png"
  rm -f "$file"
  QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a -s "-screen 0 1280x800x24" \
    "$app" --demo-mode "$mode" --screenshot "$file"
  if [ -s "$file" ]; then
    echo "screenshots: $file"
  else
    echo "screenshots: no image for mode $mode" >&2
    exit 1
  fi
done
