#!/usr/bin/env bash
# Checks the release archive that scripts/make-dist.sh made: its checksum, that it holds
# what the technician's guide lists (the programs as check-win32.sh checked them), that
# its settings files import into a configuration the service tool accepts, and that
# every dispenserctl command and option and every lcdm-sim option the guide names exists.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist="$root/build/dist"
tool="$root/build/linux/bin/dispenserctl"
simulator="$root/build/linux/bin/lcdm-sim"
status=0
fail() {
  echo "dist: $*" >&2
  status=1
}

archive=$(ls "$dist"/DispenserPlugin-*-win32.zip)
name=$(basename "$archive" .zip)
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
grep -q "  $name.zip\$" "$dist/SHA256SUMS" || fail "SHA256SUMS does not list $name.zip"
echo "dist: $(basename "$archive"), $(stat -c %s "$archive") bytes:"
unzip -Z1 "$archive" | grep -v '/$' | while read -r member; do
  echo "dist:   ${member#"$name"/} $(unzip -p "$archive" "$member" | wc -c) bytes"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$archive" -d "$work"
for member in DispenserPlugin.dll dispenserctl.exe kiosk-host.exe lcdm-sim.exe GUIDE-ru.md NOTICE.txt \
  licenses/gcc-runtime.txt licenses/mingw-w64.txt \
  settings/dispenser-template.reg settings/lcdm-1000.reg settings/lcdm-2000.reg; do
  [ -f "$work/$name/$member" ] || fail "$member is missing"
done
for program in DispenserPlugin.dll dispenserctl.exe kiosk-host.exe lcdm-sim.exe; do
  cmp -s "$work/$name/$program" "$root/build/win32/bin/$program" || fail "$program is not the checked 32-bit build"
done

# The settings as shipped (Windows line ends) import and give a configuration.
for settings in "$work/$name"/settings/*.reg; do
  hive="$work/$(basename "$settings").hive"
  "$tool" --registry "$hive" config import "$settings" >/dev/null || fail "$(basename "$settings") does not import"
  "$tool" --registry "$hive" counters | grep -q 'on COM1, enabled' || fail "$(basename "$settings") gives no working configuration"
done

# Every dispenserctl command the guide names exists, with every option it gives it.
help=$("$tool" --help)
while read -r _ command rest; do
  "$tool" help "$command" >/dev/null 2>&1 || fail "the guide names 'dispenserctl $command', which does not exist"
  command_help=$("$tool" help "$command" 2>/dev/null || true)
  for option in $(echo "$rest" | grep -o -- '--[a-z0-9-]*' || true); do
    grep -q -- "$option" <<<"$command_help$help" ||
      fail "the guide gives 'dispenserctl $command' the option $option, which it does not take"
  done
done < <(grep -o 'dispenserctl [a-z][a-z-]*\( [a-z][a-z-]*\)\?\( \[\?--[a-z0-9-]*\)*' "$work/$name/GUIDE-ru.md" | sort -u)
# Every simulator option the guide names exists (the Windows build takes the same ones).
simulator_help=$("$simulator" --help)
for option in $(grep -o 'lcdm-sim\(\.exe\)\?\( [^ `]*\)*' "$work/$name/GUIDE-ru.md" | grep -o -- '--[a-z0-9-]*' | sort -u); do
  grep -q -- "$option" <<<"$simulator_help" || fail "the guide gives lcdm-sim the option $option, which it does not take"
done
[ "$status" -eq 0 ] && echo "dist: the archive holds what the guide lists, and its settings and commands work"
exit $status
