#!/usr/bin/env bash
# Runs a command beside lcdm-sim.exe under wine on a virtual null-modem pair, as a kiosk
# is tried without a dispenser on Windows: two pseudo-terminals linked by socat are COM1
# and COM2 of the session's $WINEPREFIX; the simulator serves COM2 and the command (the
# plug-in) opens COM1. The command finds the simulator's control channel in
# LCDM_SIM_CONTROL (host:port), as with scripts/with-simulator.sh.
#   scripts/with-null-modem.sh SIMULATOR_EXE COMMAND [ARGS...]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-helpers.bash"
simulator_exe=$1
shift
: "${WINEPREFIX:?run inside scripts/wine-session.sh}"
com1="$WINEPREFIX/dosdevices/com1"
com2="$WINEPREFIX/dosdevices/com2"

work=$(mktemp -d)
socat_pid=""
simulator_pid=""
cleanup() {
  exec 3>&- 4>&- 5>&- 2>/dev/null || true
  for pid in $simulator_pid $socat_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -f "$com1" "$com2"
  rm -rf "$work"
}
trap cleanup EXIT

# The null-modem cable: what is written to one pseudo-terminal is read from the other.
rm -f "$com1" "$com2"
socat pty,raw,echo=0,link="$com1" pty,raw,echo=0,link="$com2" 2>"$work/socat.err" &
socat_pid=$!
for _ in $(seq 100); do
  [ -e "$com1" ] && [ -e "$com2" ] && break
  sleep 0.05
done
if ! [ -e "$com1" ] || ! [ -e "$com2" ]; then
  echo "with-null-modem: socat made no pair:" >&2
  cat "$work/socat.err" >&2
  exit 1
fi
# A port closed by its last user hangs up, which ends socat: keep both ends open here,
# as a cable stays plugged in while the programs open and close their ports.
exec 4<>"$com1" 5<>"$com2"

# The simulator runs until its standard input ends: a FIFO whose only writer is this
# script's descriptor 3.
mkfifo "$work/stdin"
exec 3<>"$work/stdin"
"$root/scripts/wine64.sh" "$simulator_exe" --model LCDM-2000 --port COM2 --control 127.0.0.1:0 \
  --ground-truth "Z:${work//\//\\}\\truth.jsonl" <"$work/stdin" >"$work/out" 2>"$work/err" 3>&- &
simulator_pid=$!
await_simulator with-null-modem "$simulator_pid" "$work/out" "$work/err" || exit 1
ready=$(tr -d '\r' <"$work/out" | sed -n 's/^READY //p')
control=$(tr -d '\r' <"$work/out" | sed -n 's/^CONTROL //p')
if [ "$ready" != COM2 ] || [ -z "$control" ]; then
  echo "with-null-modem: the simulator said '$(cat "$work/out")', not READY COM2 with a control channel:" >&2
  cat "$work/err" >&2
  exit 1
fi

status=0
LCDM_SIM_CONTROL="$control" LCDM_SIM_PORT=COM1 "$@" || status=$?

# The end of its standard input stops the simulator, which must end cleanly.
exec 3>&-
for _ in $(seq 100); do
  kill -0 "$simulator_pid" 2>/dev/null || break
  sleep 0.05
done
simulator_status=0
if kill -0 "$simulator_pid" 2>/dev/null; then
  echo "with-null-modem: the simulator did not stop at the end of its standard input" >&2
  kill "$simulator_pid"
  simulator_status=timeout
fi
wait "$simulator_pid" || [ "$simulator_status" != 0 ] || simulator_status=$?
simulator_pid=""
if [ "$simulator_status" != 0 ]; then
  echo "with-null-modem: the simulator ended with status $simulator_status:" >&2
  cat "$work/err" >&2
  [ "$status" != 0 ] || status=1
fi
# Its ground truth, written as it stopped, opens with the summary line.
if ! head -n 1 "$work/truth.jsonl" 2>/dev/null | grep -q '^{"model":"LCDM-2000",'; then
  echo "with-null-modem: the simulator wrote no ground truth" >&2
  [ "$status" != 0 ] || status=1
fi
exit "$status"
