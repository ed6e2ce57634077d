#!/usr/bin/env bash
# Starts Quillet from a folder of its own in the build tree (build/run: the
# program, its languages and a portable data folder beside them), so that
# the tests beside the built program never find a portable marker there.
# On a machine without a display it runs on the build tree's own Xvfb.
set -euo pipefail
build=${1:?build dir}
bin="$build/bin"
run="$build/run"
mkdir -p "$run/lang"
cp -u "$bin/Quillet.exe" "$run/"
cp -u "$bin"/lang/*.ini "$run/lang/"
[ -f "$run/portable.txt" ] || echo "Portable data lives in the folder data beside this file." >"$run/portable.txt"
if [ -n "${DISPLAY:-}" ]; then
  export QUILLET_USE_DISPLAY=1
else
  echo "run: no DISPLAY, using a private Xvfb display (see $build/wine/display)"
fi
exec "$build/tools/wine-run" "$run/Quillet.exe"
