#!/usr/bin/env bash
# Makes the release archive for Windows from the 32-bit build:
# build/dist/DispenserPlugin-<version>-win32.zip, listed in build/dist/SHA256SUMS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/build/win32/bin"
version=$(sed -n 's/^project(DispenserPlugin VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="DispenserPlugin-$version-win32"
dist="$root/build/dist"
stage="$dist/$name"

# Only this script's own files go: the Debian package (make deb) may lie beside them.
rm -rf "$stage" "$dist"/DispenserPlugin-*-win32.zip
mkdir -p "$stage/settings" "$stage/licenses"
cp "$bin/DispenserPlugin.dll" "$bin/dispenserctl.exe" "$bin/kiosk-host.exe" "$bin/lcdm-sim.exe" "$stage/"
# Text files get Windows line ends, for Notepad and regedit.
to_crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
for settings in "$root"/release/settings/*.reg; do
  to_crlf "$settings" "$stage/settings/$(basename "$settings")"
done
to_crlf "$root/release/GUIDE-ru.md" "$stage/GUIDE-ru.md"
to_crlf "$root/release/NOTICE.txt" "$stage/NOTICE.txt"
# The licences of the runtime linked into the programs, as the toolchain ships them;
# no archive goes out without them.
for licence in gcc-mingw-w64-base:gcc-runtime mingw-w64-common:mingw-w64; do
  copyright="/usr/share/doc/${licence%%:*}/copyright"
  if [ ! -f "$copyright" ]; then
    echo "dist: $copyright is missing (package ${licence%%:*}): the runtime's licence cannot be shipped" >&2
    exit 1
  fi
  to_crlf "$copyright" "$stage/licenses/${licence#*:}.txt"
done

(cd "$dist" && zip -qrX "$name.zip" "$name")
rm -rf "$stage"
"$root/scripts/dist-sums.sh"
echo "dist: $dist/$name.zip"
