#!/usr/bin/env bash
# Starts Quillet from the build tree with a portable data folder beside it.
# On a machine without a display it runs on the build tree's own Xvfb.
set -euo pipefail
build=${1:?build dir}
bin="$build/bin"
[ -f "$bin/portable.txt" ] || echo "Portable data lives in the folder data beside this file." >"$bin/portable.txt"
if [ -n "${DISPLAY:-}" ]; then
  export QUILLET_USE_DISPLAY=1
else
  echo "run: no DISPLAY, using a private Xvfb display (see $build/wine/display)"
fi
exec "$build/tools/wine-run" "$bin/Quillet.exe"
