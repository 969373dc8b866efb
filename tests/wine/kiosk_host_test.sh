#!/usr/bin/env bash
# One scripted kiosk session: kiosk-host loads the plug-in and runs SCRIPT against the
# simulated LCDM-2000, and what it printed, its exit status, what the device moved and
# the operations journal must equal SCRIPT's expected output. Runs inside
# scripts/with-simulator.sh (the simulator is COM1; LCDM_SIM_CONTROL is its control
# channel) inside scripts/wine-session.sh.
#   kiosk_host_test.sh SCRIPT HOST_EXE WORK_DIR WINE_COMMAND...
# Beside SCRIPT (NAME.script):
#   NAME.expected  the expected output (KIOSK_HOST_UPDATE_EXPECTED=1 writes it instead)
#   NAME.reg       optional: registry values imported over default.reg
#   NAME.sim       optional: simulator control commands sent first, one per line
#   NAME.trace     optional: its presence adds the trace log's ERROR lines to the output
set -Eeuo pipefail
# A step that fails says where, so that a rare failure in CI can be told apart.
trap 'echo "kiosk_host_test: line $LINENO failed with status $?: $BASH_COMMAND" >&2' ERR

script=$1
host=$(realpath "$2")
work=$3
shift 3
wine=("$@")
: "${LCDM_SIM_CONTROL:?run inside scripts/with-simulator.sh}"
source "$(dirname "$0")/../../scripts/wine-helpers.bash"

folder=$(cd "$(dirname "$script")" && pwd)
name=$(basename "$script" .script)
expected="$folder/$name.expected"
root="$work/$name"
actual="$work/$name.actual"

# One command on the simulator's control channel; its answer must be OK.
simulator_command() {
  local answer
  answer=$(simulator "$1")
  if [ "$answer" != OK ]; then
    echo "kiosk_host_test: simulator command '$1' answered '$answer'" >&2
    exit 1
  fi
}

# A fresh device, settings, root folder and installation for every session.
simulator_command reset
if [ -f "$folder/$name.sim" ]; then
  while IFS= read -r line; do
    case "$line" in '' | '#'*) continue ;; esac
    simulator_command "$line"
  done <"$folder/$name.sim"
fi
rm -rf "$root" "$actual"
mkdir -p "$root"
# The previous session's settings must be gone: its "LogDir" would send this
# session's journal to the previous session's folder.
wine_reg_delete_key "${wine[@]}" -- 'HKLM\Software\Orvane\Tallivox\Kiosk\Dispenser'
for settings in "$folder/default.reg" "$folder/$name.reg"; do
  [ -f "$settings" ] || continue
  wine_reg "${wine[@]}" -- import "$(windows_path "$settings")" >/dev/null
done
install=$("${wine[@]}" "$host" --install --root "$(windows_path "$root")" 2>&1 | tr -d '\r')
if [ "$install" != "TallivoxPlugin_InstallInit: 1" ]; then
  echo "kiosk_host_test: the installation failed: $install" >&2
  exit 1
fi

status=0
# From the script's folder, so that what kiosk-host says about the script names no
# machine's paths.
(cd "$folder" && "${wine[@]}" "$host" --script "$name.script") >"$actual.raw" 2>&1 || status=$?
{
  tr -d '\r' <"$actual.raw"
  echo "exit status: $status"
  # What the device did, from the simulator's ground truth.
  simulator truth | sed -E 's/.*"cassette1":([0-9]+),"cassette2":([0-9]+),"taken1":[0-9]+,"taken2":[0-9]+,"exit1":([0-9]+),"exit2":([0-9]+),"rejected1":([0-9]+),"rejected2":([0-9]+),"reject_bin":([0-9]+),"in_path":([0-9]+).*/device: cassette1=\1 cassette2=\2 exit1=\3 exit2=\4 rejected1=\5 rejected2=\6 reject_bin=\7 in_path=\8/'
  # The operations journal's records without their time: event word, value and text.
  for journal in "$root"/Logs/Dispenser/[0-9]*.txt; do
    [ -f "$journal" ] || continue
    awk -F'\t' '{ print "journal: " $2 " " $3 " " $4 }' "$journal"
  done
  # The trace log's errors without their time, for sessions that ask for them.
  if [ -f "$folder/$name.trace" ]; then
    for trace in "$root"/Logs/Dispenser/DebugLog*.txt; do
      [ -f "$trace" ] || continue
      tr -d '\r' <"$trace" | sed -nE 's/^[0-9-]+ [0-9:.]+ ERROR +(.*)$/trace: ERROR \1/p'
    done
  fi
} | sed -E 's/(\.(cpp|h)"):[0-9]+/\1:LINE/g' >"$actual" # source lines change with every edit
rm -f "$actual.raw"

if [ "${KIOSK_HOST_UPDATE_EXPECTED:-}" = 1 ]; then
  cp "$actual" "$expected"
  echo "kiosk_host_test: wrote $expected"
  exit 0
fi
if ! diff -u "$expected" "$actual"; then
  echo "kiosk_host_test: $name differs from $expected (output in $actual)" >&2
  # What the session left behind, for a difference that does not repeat.
  find "$root" -type f -printf '%p %s bytes\n' >&2
  for trace in "$root"/Logs/Dispenser/DebugLog*.txt; do
    [ -f "$trace" ] && tail -n 40 "$trace" >&2
  done
  exit 1
fi
echo "kiosk_host_test: $name passed"
