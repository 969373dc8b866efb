#!/usr/bin/env bash
# Runs a command with a wine prefix of its own, a persistent wineserver and an Xvfb
# display, and stops both and removes the prefix afterwards, whatever the command's
# outcome. The prefix is a fresh folder build/win64/wine-session-XXXXXX and the display
# is one Xvfb found free, so two sessions on one tree (or one machine) run side by side.
#   scripts/wine-session.sh COMMAND [ARGS...]
# The command sees WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES and DISPLAY.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
mkdir -p "$root/build/win64"
session=$(mktemp -d "$root/build/win64/wine-session-XXXXXX")
export WINEPREFIX="$session/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  # Only this prefix's server: another session's is left alone.
  "$wineserver" -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$session"
}
trap cleanup EXIT

# A display of our own: Xvfb takes the first free number itself (its lock file decides
# between two servers starting at once) and, once it accepts clients, writes the number
# to the FIFO; end of file instead means it did not start.
mkfifo "$session/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$session/display" >/dev/null 2>&1 &
xvfb_pid=$!
display=""
read -r -t 30 display <"$session/display" || true
if [ -z "$display" ]; then
  echo "wine-session: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$display"

mkdir -p "$WINEPREFIX"
# The persistent server first, so that wineboot and every test program share it. Its
# own output (a state dump when it is stopped with windows still open) goes to a file.
"$wineserver" -p >"$session/wineserver.log" 2>&1
# Wine's own programs now and then fail to start (see wine-helpers.bash): tried again.
for attempt in 1 2 3; do
  "$wine" wineboot -i >/dev/null 2>&1 </dev/null && break
  echo "wine-session: wineboot failed (attempt $attempt)" >&2
  [ "$attempt" -lt 3 ] || exit 1
done

"$@"
