#!/usr/bin/env bash
# Runs every benchmark executable of a build tree (bin/bench_*.exe) under Wine.
set -uo pipefail
build=${1:?build dir}
status=0
# The screenshot benchmark runs on a 2560x1440 display and a Wine prefix of
# its own; every other one on the tests' display.
bench_state="$(cd "$build" && pwd)/wine-bench"
for b in "$build"/bin/bench_*.exe; do
  [ -e "$b" ] || continue
  echo "== $(basename "$b" .exe)"
  if [ "$(basename "$b")" = bench_screenshot.exe ]; then
    QUILLET_WINE_STATE="$bench_state" QUILLET_SCREEN=2560x1440x24 "$build/tools/wine-run" "$b" || status=1
  else
    "$build/tools/wine-run" "$b" || status=1
  fi
done
bash "$(dirname "$0")/wine-stop.sh" "$build"
bash "$(dirname "$0")/wine-stop.sh" "$build" "$bench_state"
exit $status
