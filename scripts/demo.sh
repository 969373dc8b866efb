#!/usr/bin/env bash
# The main job: a kiosk session pays out 3700 roubles through DispenserPlugin.dll and
# the simulated LCDM-2000, under wine64 with kiosk-host as the kiosk payment host. It
# installs the plug-in, configures the dispenser, runs the session with the "DISPENSER"
# dialog on a virtual desktop, takes a screenshot of the dialog during the payout, and
# prints the session's variables and the logs. `make demo` builds everything first.
#   scripts/demo.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
demo="$root/build/demo"
kiosk="$demo/kiosk" # the host's root folder: the plug-in's logs go under it
host="$root/build/win64/bin/kiosk-host.exe"
wine=/usr/lib/wine/wine64
source "$root/scripts/wine-helpers.bash"

heading() {
  printf '\n== %s\n' "$1"
}

# One line of the closing list of files: the path from the tree's top, what it holds.
place() {
  printf '  %-58s %s\n' "${1#"$root"/}" "$2"
}

# The dispenser's settings, as an installer or a service technician would leave them.
write_settings() {
  cat >"$demo/dispenser.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox\Kiosk\Dispenser]
"Device"="LCDM-2000"
"Off"=dword:00000000
"Port"="COM1"
; bit 2: the amount limit "Max" (100000 roubles) is enforced
"Flags"=dword:00000004
"Max"=dword:000186a0

; the upper cassette: 100 notes of 1000 roubles; in use (1) and counted (2)
[HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox\Kiosk\Dispenser\Cassette\1]
"Denomination"=dword:000003e8
"Count"=dword:00000064
"Flags"=dword:00000003

; the lower cassette: 100 notes of 500 roubles; in use and counted
[HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox\Kiosk\Dispenser\Cassette\2]
"Denomination"=dword:000001f4
"Count"=dword:00000064
"Flags"=dword:00000003

; the reject bin: counted
[HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox\Kiosk\Dispenser\Reject]
"Count"=dword:00000000
"Flags"=dword:00000001

; the operator dialog is shown during operations
[HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox\Kiosk\Dispenser\Log Window]
"Show"=dword:00000001
REG
}

write_session() {
  cat >"$demo/payout.script" <<'SCRIPT'
# A kiosk session pays out 3700 roubles: the scenario writes the amount, lets the
# plug-in split it between the cassettes, then has the notes paid out.
show-window
prepare
set Dispenser.Dispense=3700
event Dispenser.Calculate
echo -- after Dispenser.Calculate:
dump Dispenser.Dispense
dump Dispenser.Result
event Dispenser.Dispense
echo -- after Dispenser.Dispense:
dump Dispenser.
SCRIPT
}

# Waits until the simulated device has picked its first note, so that the screenshot
# shows the dialog in the middle of the payout; false after 60 s.
wait_for_payout() {
  for _ in $(seq 600); do
    simulator truth | grep -q '"taken1":[1-9]' && return 0
    sleep 0.1
  done
  return 1
}

# Inside the wine session, beside the simulator: the demo itself.
run_demo() {
  write_settings
  write_session

  heading "Installing the plug-in (root folder $(windows_path "$kiosk"))"
  "$wine" "$host" --install --root "$(windows_path "$kiosk")" | tr -d '\r'

  heading "Configuring the dispenser: $demo/dispenser.reg"
  wine_reg "$wine" -- import "$(windows_path "$demo/dispenser.reg")" >/dev/null
  wine_reg "$wine" -- query 'HKLM\Software\Orvane\Tallivox\Kiosk\Dispenser' /s | sed -n '/./p'

  # A virtual desktop for every window of the prefix: windows get their frames, and
  # kiosk-host runs as itself (its output and exit status are its own).
  wine_reg "$wine" -- add 'HKCU\Software\Wine\Explorer' /v Desktop /d demo /f >/dev/null
  wine_reg "$wine" -- add 'HKCU\Software\Wine\Explorer\Desktops' /v demo /d 1024x768 /f >/dev/null
  # 800 ms per note: the payout of 4 notes keeps the dialog up for about 3 s.
  echo "simulator: fault note-ms:800 -> $(simulator 'fault note-ms:800')"

  heading "The kiosk session: $demo/payout.script"
  sed -n '/^[^#]/s/^/   /p' "$demo/payout.script"
  local status=0 pid
  (cd "$demo" && "$wine" "$host" --script payout.script) >"$demo/session.txt" 2>&1 &
  pid=$!
  if wait_for_payout; then
    sleep 1
    xwd -root -display "$DISPLAY" -silent | convert xwd:- -crop 1024x768+0+0 +repage "$demo/dispenser-dialog.png"
  else
    echo "demo: the device picked no note within 60 s; no screenshot" >&2
  fi
  wait "$pid" || status=$?
  tr -d '\r' <"$demo/session.txt"
  echo "(kiosk-host exit status $status)"

  heading "The simulated device's ground truth"
  simulator truth

  local journal trace
  journal=$(ls "$kiosk"/Logs/Dispenser/[0-9]*.txt 2>/dev/null | tail -n 1 || true)
  trace=$(ls "$kiosk"/Logs/Dispenser/DebugLog*.txt 2>/dev/null | tail -n 1 || true)
  heading "The day's operations log: ${journal:-(none)}"
  [ -n "$journal" ] && cat "$journal"
  heading "The last lines of the trace log: ${trace:-(none)}"
  [ -n "$trace" ] && tail -n 25 "$trace"

  # What the session must show: 3 + 1 notes for 3700 (200 unpaid), counters 97 and 99.
  local expected missing=""
  for expected in Dispenser.Dispense1=3 Dispenser.Dispense2=1 Dispenser.Dispense=200 Dispenser.Dispensed1=3 \
      Dispenser.Dispensed2=1 Dispenser.Result=1 Dispenser.Cassette1.Counter=97 Dispenser.Cassette2.Counter=99; do
    grep -qx "$expected" <(tr -d '\r' <"$demo/session.txt") || missing="$missing $expected"
  done
  if [ "$status" -ne 0 ] || [ -n "$missing" ]; then
    echo "demo: the session did not end as expected (exit status $status; missing:${missing:- none})" >&2
    return 1
  fi
  echo
  echo "The session ended as expected: 3 notes of 1000 and 1 of 500 paid, 200 roubles left unpaid,"
  echo "counters 97 and 99."
}

if [ "${1:-}" = --inside ]; then
  run_demo
  exit
fi

rm -rf "$demo"
mkdir -p "$kiosk"
"$root/scripts/wine-session.sh" "$root/scripts/with-simulator.sh" "$0" --inside

echo
echo "make demo: a kiosk session paid out 3700 roubles through DispenserPlugin.dll (x86_64,"
echo "under wine64) and the simulated LCDM-2000, with kiosk-host as the payment host. Files:"
place "$demo/payout.script" "the kiosk session (kiosk-host --script)"
place "$demo/session.txt" "what kiosk-host printed: the session variables"
place "$demo/dispenser.reg" "the dispenser's settings, imported into the registry"
place "$demo/dispenser-dialog.png" "the \"DISPENSER\" dialog during the payout"
for log in "$kiosk"/Logs/Dispenser/*.txt; do
  case "$log" in
    */DebugLog*) place "$log" "the trace log" ;;
    *) place "$log" "the day's operations log" ;;
  esac
done
# The day's cash report, by the service tool from the journal the session wrote, with the
# demo's settings (the denominations) imported into a registry file of its own.
tool="$root/build/linux/bin/dispenserctl"
journal=$(ls "$kiosk"/Logs/Dispenser/[0-9]*.txt | tail -n 1)
day=$(basename "$journal" .txt)
report=("$tool" --registry "$demo/report-settings.reg" report --log-dir "$kiosk/Logs/Dispenser" --from "$day" --to "$day")
"$tool" --registry "$demo/report-settings.reg" config import "$demo/dispenser.reg" >/dev/null
"${report[@]}" --format html --output "$demo/report.html" 2>/dev/null
for archive in "$root"/build/dist/*.zip "$root"/build/dist/*.deb; do
  [ -f "$archive" ] && place "$archive" "the release (make dist, make deb)"
done
place "$demo/report.html" "the day's cash report with its charts (dispenserctl report --format html)"
echo "(paths from $root; the run had a wine prefix of its own under build/win64, removed at its end)"

heading "The day's cash report (dispenserctl report --from $day --to $day)"
"${report[@]}"
