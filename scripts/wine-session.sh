#!/usr/bin/env bash
# Runs a command with a fresh wine prefix under build/win64, a persistent wineserver
# and an Xvfb display, and stops both afterwards, whatever the command's outcome.
#   scripts/wine-session.sh COMMAND [ARGS...]
# The command sees WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES and DISPLAY.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$root/build/win64/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

xvfb_pid=""
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

# A display of our own: the first free number from 90 on.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# The persistent server first, so that wineboot and every test program share it. Its
# own output (a state dump when it is stopped with windows still open) goes to a file.
"$wineserver" -p >"$WINEPREFIX/../wineserver.log" 2>&1
# Wine's own programs now and then fail to start (see wine-helpers.bash): tried again.
for attempt in 1 2 3; do
  "$wine" wineboot -i >/dev/null 2>&1 </dev/null && break
  echo "wine-session: wineboot failed (attempt $attempt)" >&2
  [ "$attempt" -lt 3 ] || exit 1
done

"$@"
