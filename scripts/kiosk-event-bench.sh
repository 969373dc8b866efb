#!/usr/bin/env bash
# A payout as the kiosk sees it, under wine64 through kiosk-host with the operator dialog
# shown: from the "Dispenser.Dispense" event's call to the first byte of its first command
# on the line, and from the last byte of the device's last answer to the event's return;
# the same for "Dispenser.Calculate". The kiosk's times (kiosk-host --timing) and the
# line's (the simulator's line_us) are read from the one system clock. Prints each figure
# beside its goal. Runs inside scripts/wine-session.sh and scripts/with-simulator.sh, the
# simulator pacing at 9600 Bd (LCDM_SIM_PACE_BAUD=9600). With KIOSK_BENCH_KEEP=DIR the
# session's files (its script, the times, the line, the plug-in's logs) are kept in DIR.
#   scripts/kiosk-event-bench.sh [ROUNDS]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
host="$root/build/win64/bin/kiosk-host.exe"
wine=/usr/lib/wine/wine64
source "$root/scripts/wine-helpers.bash"
rounds=${1:-5}
if ! [ "$rounds" -ge 1 ] 2>/dev/null; then
  echo "kiosk-event-bench: ROUNDS is a number from 1 up, not '$rounds'" >&2
  exit 2
fi
: "${LCDM_SIM_CONTROL:?run inside scripts/with-simulator.sh}"

work=$(mktemp -d)
keep() {
  [ -z "${KIOSK_BENCH_KEEP:-}" ] || cp -r "$work/." "$KIOSK_BENCH_KEEP" || true
  rm -rf "$work"
}
trap keep EXIT
mkdir -p "$work/kiosk"

# The plug-in installed and the dispenser of the kiosk tests, with the operator dialog
# shown during operations; windows on a virtual desktop, as in the demo.
"$wine" "$host" --install --root "$(windows_path "$work/kiosk")" >/dev/null
wine_reg "$wine" -- import "$(windows_path "$root/tests/wine/kiosk-host/default.reg")" >/dev/null
wine_reg "$wine" -- add 'HKLM\Software\Orvane\Tallivox\Kiosk\Dispenser\Log Window' /v Show /t REG_DWORD /d 1 /f >/dev/null
wine_reg "$wine" -- add 'HKCU\Software\Wine\Explorer' /v Desktop /d bench /f >/dev/null
wine_reg "$wine" -- add 'HKCU\Software\Wine\Explorer\Desktops' /v bench /d 1024x768 /f >/dev/null

{
  echo show-window
  echo prepare
  for _ in $(seq "$rounds"); do
    echo set Dispenser.Dispense=3700
    echo event Dispenser.Calculate
    echo event Dispenser.Dispense
  done
} >"$work/session.script"
if ! "$wine" "$host" --timing "$(windows_path "$work/timing.txt")" --script "$(windows_path "$work/session.script")" \
    >"$work/session.txt" 2>&1; then
  echo "kiosk-event-bench: the session failed:" >&2
  tr -d '\r' <"$work/session.txt" >&2
  exit 1
fi

# One line per frame record: direction, kind, line time.
simulator frames | tr '}' '\n' |
  sed -n 's/.*"dir":"\([a-z]*\)","kind":"\([a-z-]*\)".*"line_us":\([0-9]*\).*/\1 \2 \3/p' >"$work/line.txt"

awk -v goal=50 '
  NR == FNR { name[++events] = $1; called[events] = $2; returned[events] = $3; next }
  { dir[++records] = $1; kind[records] = $2; at[records] = $3 }
  END {
    for (e = 1; e <= events; e++) {
      n = name[e]
      if (!(n in rounds)) order[++names] = n
      rounds[n]++
      took[n] += (returned[e] - called[e]) / 1000
      first = ""; last = ""
      for (r = 1; r <= records; r++) {
        if (at[r] < called[e] || at[r] > returned[e]) continue
        if (dir[r] == "in" && kind[r] == "command") { commands[n]++; if (first == "") first = at[r] }
        if (dir[r] == "out" && kind[r] == "response") last = at[r]
      }
      if (first == "" || last == "") continue
      measured[n]++
      toFirst = (first - called[e]) / 1000; fromLast = (returned[e] - last) / 1000
      sumFirst[n] += toFirst; sumLast[n] += fromLast
      if (toFirst > worstFirst[n]) worstFirst[n] = toFirst
      if (fromLast > worstLast[n]) worstLast[n] = fromLast
    }
    for (i = 1; i <= names; i++) {
      n = order[i]
      if (!measured[n]) {
        printf "Kiosk: %s: no exchange with the device; the event took %.1f ms (goal: at most %d ms under wine; %d rounds)\n",
               n, took[n] / rounds[n], goal, rounds[n]
        continue
      }
      printf "Kiosk: %s (dialog shown): event to first byte %.1f ms, worst %.1f (goal: at most %d ms under wine); " \
             "answer to return %.1f ms, worst %.1f (goal: at most %d ms); the event %.0f ms, %.1f command(s) (%d rounds)\n",
             n, sumFirst[n] / measured[n], worstFirst[n], goal, sumLast[n] / measured[n], worstLast[n], goal,
             took[n] / rounds[n], commands[n] / rounds[n], rounds[n]
    }
  }' <(tr -d '\r' <"$work/timing.txt") "$work/line.txt"
