#!/usr/bin/env bash
# Runs the benchmarks of the native build and, under wine, of the Windows build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

echo "== Linux (build/linux-bench, Release)"
for bench in "$root"/build/linux-bench/bin/*_bench; do
  "$bench"
done

echo "== Windows x86_64 under wine64 (build/win64)"
# The operation benchmark talks to the session's simulator on COM1, pacing at 9600 Bd.
# A fresh prefix starts its services with the first program and goes on starting them
# for a few seconds: the figures are taken once it has settled.
LCDM_SIM_PACE_BAUD=9600 "$root/scripts/wine-session.sh" "$root/scripts/with-simulator.sh" bash -c '
  /usr/lib/wine/wine64 cmd /c exit
  sleep 3
  for bench in "$0"/build/win64/bin/*_bench.exe; do
    /usr/lib/wine/wine64 "$bench" | tr -d "\r"
  done' "$root"

# A payout as the kiosk sees it, with the operator dialog shown.
LCDM_SIM_PACE_BAUD=9600 "$root/scripts/wine-session.sh" "$root/scripts/with-simulator.sh" \
  "$root/scripts/kiosk-event-bench.sh" 5
