#!/usr/bin/env bash
# Packs the linux-package build (dispenserctl, lcdm-sim and their manual pages) into
# build/dist/dispenser-tools_<version>_<arch>.deb, beside the archive for Windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/linux-package"
dist="$root/build/dist"

mkdir -p "$dist"
rm -f "$build"/dispenser-tools_*.deb "$dist"/dispenser-tools_*.deb
# CPack works in the build folder (its staging tree stays there); only the package moves.
if ! (cd "$root" && cpack --preset linux-package >"$build/cpack.log" 2>&1); then
  cat "$build/cpack.log" >&2
  exit 1
fi
mv "$build"/dispenser-tools_*.deb "$dist/"
"$root/scripts/dist-sums.sh"
echo "deb: $(ls "$dist"/dispenser-tools_*.deb)"
