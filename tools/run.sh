#!/usr/bin/env bash
# Starts Quillet from a folder of its own in the build tree (build/run): the
# files of the zip a Windows user downloads (the program, its languages, its
# help, its licence and the third-party notices) unpacked there, with a portable data folder beside
# them, so that the tests beside the built program never find a portable
# marker there. On a machine without a display it runs on the build tree's
# own Xvfb.
set -euo pipefail
build=${1:?build dir}
here=$(cd "$(dirname "$0")" && pwd)
run="$build/run"
version=$(sed -n 's/^#define QUILLET_VERSION_TEXT "\(.*\)"/\1/p' "$here/../resources/version.h")
zip="$build/dist/Quillet-$version-win64.zip"
[ -f "$zip" ] || { echo "run: $zip is missing (make dist builds it)" >&2; exit 1; }
python3 "$here/dist_zip.py" unpack --over "$zip" "$run" >/dev/null
[ -f "$run/portable.txt" ] || : >"$run/portable.txt"
if [ -n "${DISPLAY:-}" ]; then
  export QUILLET_USE_DISPLAY=1
else
  echo "run: no DISPLAY, using a private Xvfb display (see $build/wine/display)"
fi
exec "$build/tools/wine-run" "$run/Quillet.exe"
