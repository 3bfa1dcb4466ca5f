#!/usr/bin/env bash
# Runs a command on a private Xvfb display: the server picks a free display number itself
# (-displayfd), so that parallel runs on a shared machine do not race for one. Status 77 (a
# skipped test) when Xvfb cannot start; otherwise the command's own status.
set -u
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$dir/display" 2>"$dir/log" &
server=$!
for _ in $(seq 100); do
  [ -s "$dir/display" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$dir/display" ]; then
  echo "run-on-xvfb: Xvfb did not start" >&2
  cat "$dir/log" >&2
  kill "$server" 2>/dev/null
  exit 77
fi
DISPLAY=":$(head -n1 "$dir/display")" "$@"
status=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
exit "$status"
