#!/usr/bin/env bash
# Writes build/dist/SHA256SUMS over the release files made so far: the archive for Windows
# (make dist) and the Debian package of the Linux tools (make deb).
set -euo pipefail
cd "$(dirname "$0")/../build/dist"
shopt -s nullglob
files=(DispenserPlugin-*-win32.zip dispenser-tools_*.deb)
if [ ${#files[@]} -eq 0 ]; then
  echo "dist: no release file in build/dist to sum" >&2
  exit 1
fi
sha256sum "${files[@]}" >SHA256SUMS
