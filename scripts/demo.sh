#!/usr/bin/env bash
# The main job, as far as the product goes today: the framework the plug-in stands
# on, shown working on both backends. The payout through the simulated dispenser
# takes its place once the plug-in and the simulator exist.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/demo"
mkdir -p "$out"

echo "== The application log from 8 threads (native build)"
"$root/build/linux/bin/app_log_bench" --lines 200 --keep "$out/applog-demo.txt"
echo "   first and last lines of $out/applog-demo.txt:"
head -n 2 "$out/applog-demo.txt" | sed 's/^/     /'
tail -n 1 "$out/applog-demo.txt" | sed 's/^/     /'

echo "== The registry on POSIX: a hive file replaced atomically on every write"
"$root/build/linux/bin/registry_bench" --reads 200 --writes 20

echo "== The same on Windows x86_64 under wine64"
"$root/scripts/wine-session.sh" bash -c '
  /usr/lib/wine/wine64 "$0/build/win64/bin/app_log_bench.exe" --lines 200 | tr -d "\r"
  /usr/lib/wine/wine64 "$0/build/win64/bin/registry_bench.exe" --reads 200 --writes 20 | tr -d "\r"' "$root"

echo "== The 32-bit deliverable's libraries"
"$root/scripts/check-win32.sh"

cat <<TEXT

make demo showed: the framework services (application log, registry, threads) built
for Linux, Windows x86_64 and Windows i686, running natively and under wine64.
The payout through the simulated LCDM-2000 is not built yet; it will replace this demo.
Files: $out/applog-demo.txt
TEXT
