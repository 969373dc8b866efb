#!/usr/bin/env bash
# Runs every libFuzzer target of build/linux-fuzz for a while each.
#   scripts/run-fuzzers.sh [SECONDS]      (default 15)
# Corpora grow in build/linux-fuzz/corpus/NAME; a finding is written there as crash-*.
# Seed inputs, where a target has them, are read from tests/fuzz/seeds/NAME.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-15}
status=0
for fuzzer in "$root"/build/linux-fuzz/bin/*_fuzzer; do
  name=$(basename "$fuzzer")
  corpus="$root/build/linux-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  if [[ -d "$root/tests/fuzz/seeds/$name" ]]; then seeds=("$root/tests/fuzz/seeds/$name"); fi
  if "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$corpus/" "$corpus" "${seeds[@]}" \
      >"$corpus.log" 2>&1; then
    echo "fuzz: $name $(grep -o 'Done [0-9]* runs' "$corpus.log" | tail -n 1) in ${seconds} s, no finding"
  else
    echo "fuzz: $name FAILED, see $corpus.log" >&2
    tail -n 30 "$corpus.log" >&2
    status=1
  fi
done
exit $status
