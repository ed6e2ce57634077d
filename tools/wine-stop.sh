#!/usr/bin/env bash
# Stops the Wine server and the Xvfb display of a build tree (or of the
# state folder given second, see wine-run).
build_dir=${1:?build dir}
state="${2:-$build_dir/wine}"
[ -d "$state" ] || exit 0
WINEPREFIX="$state/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
if [ -s "$state/xvfb.pid" ]; then
  kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  rm -f "$state/xvfb.pid" "$state/display"
fi
exit 0
