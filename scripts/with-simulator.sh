#!/usr/bin/env bash
# Runs a command beside the simulated dispenser, for the Windows tests under wine:
# the simulator's pseudo-terminal is COM1 and COM10 of the session's $WINEPREFIX, and the command
# finds the simulator's control channel in LCDM_SIM_CONTROL (host:port). With
# LCDM_SIM_PACE_BAUD set, the simulator paces its bytes at that rate.
#   scripts/with-simulator.sh COMMAND [ARGS...]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-helpers.bash"
simulator="$root/build/linux/bin/lcdm-sim"
: "${WINEPREFIX:?run inside scripts/wine-session.sh}"

work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The simulator runs until its standard input ends: a FIFO this script holds open.
mkfifo "$work/stdin"
exec 3<>"$work/stdin"
pacing=()
[ -n "${LCDM_SIM_PACE_BAUD:-}" ] && pacing=(--pace-baud "$LCDM_SIM_PACE_BAUD")
"$simulator" --model LCDM-2000 "${pacing[@]}" \
  --link "$WINEPREFIX/dosdevices/com1" --link "$WINEPREFIX/dosdevices/com10" \
  --control 127.0.0.1:0 <&3 >"$work/out" 2>"$work/err" &
pid=$!

await_simulator with-simulator "$pid" "$work/out" "$work/err" || exit 1
control=$(sed -n 's/^CONTROL //p' "$work/out")
if [ -z "$control" ]; then
  echo "with-simulator: no control channel reported" >&2
  exit 1
fi

LCDM_SIM_CONTROL="$control" LCDM_SIM_PORT=COM1 LCDM_SIM_LONG_PORT=COM10 "$@"
