#!/usr/bin/env bash
# Installs what the build needs on a Debian machine, only what is missing.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# openbox, x11-utils (xprop) and xdotool (keys from the X keyboard): the
# tests of the program under a window manager. fonts-wine: Wine's own
# Tahoma and Marlett, without which Wine draws its title-bar buttons and
# scroll arrows as letters. python3-fonttools makes the fallback icon font.
for p in cmake make g++-mingw-w64-x86-64-posix wine64 fonts-wine xvfb xauth googletest openbox x11-utils xdotool python3-fonttools; do
  have_pkg "$p" || need+=("$p")
done
command -v npm >/dev/null 2>&1 || need+=(nodejs npm)
command -v python3 >/dev/null 2>&1 || need+=(python3)

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
