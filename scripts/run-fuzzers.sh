#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a given number of seconds; any crash fails the run.
set -euo pipefail
build=$1
seconds=$2
status=0
shopt -s nullglob
for target in "$build"/fuzz/*/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  echo "== $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 "$corpus" \
      > "$build/$name.log" 2>&1; then
    tail -n 40 "$build/$name.log"
    status=1
  fi
done
exit $status
