#!/usr/bin/env bash
# Runs every benchmark executable of a build tree (bin/bench_*.exe) under Wine.
set -uo pipefail
build=${1:?build dir}
status=0
for b in "$build"/bin/bench_*.exe; do
  [ -e "$b" ] || continue
  echo "== $(basename "$b" .exe)"
  "$build/tools/wine-run" "$b" || status=1
done
bash "$(dirname "$0")/wine-stop.sh" "$build"
exit $status
