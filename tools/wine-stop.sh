#!/usr/bin/env bash
# Stops the Wine servers, the window managers and the Xvfb displays of a build tree: its own
# state folder and the desktops of its tests (see wine-run), or only the
# state folder given second.
build_dir=${1:?build dir}
if [ $# -ge 2 ]; then
  states=("$2")
else
  states=("$build_dir/wine" "$build_dir"/wine-desktop* "$build_dir/wine-wm")
fi
for state in "${states[@]}"; do
  [ -d "$state" ] || continue
  WINEPREFIX="$state/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  if [ -s "$state/wm.pid" ]; then
    kill "$(cat "$state/wm.pid")" 2>/dev/null || true
    rm -f "$state/wm.pid"
  fi
  if [ -s "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid" "$state/display"
  fi
done
exit 0
