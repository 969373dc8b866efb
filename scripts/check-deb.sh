#!/usr/bin/env bash
# Checks the Debian package that scripts/make-deb.sh made: its checksum, that it holds
# exactly the two tools and their manual pages with the right owners and modes, that the
# tools as unpacked are plain stripped programs that run, and that each manual page is
# well-formed, free of build paths and names every option of the program's --help.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
dist="$root/build/dist"
version=$(sed -n 's/^project(DispenserPlugin VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="dispenser-tools_${version}_$(dpkg --print-architecture).deb"
package="$dist/$name"
status=0
fail() {
  echo "deb: $*" >&2
  status=1
}

if [ ! -f "$package" ]; then
  echo "deb: $package is missing (make deb)" >&2
  exit 1
fi
(cd "$dist" && grep "  $name\$" SHA256SUMS | sha256sum --quiet -c -) ||
  fail "SHA256SUMS does not list $name with its checksum"
depends=$(dpkg-deb -f "$package" Depends)
echo "deb: $name, $(stat -c %s "$package") bytes, Depends: $depends"
[[ "$depends" == *libstdc++6* ]] || fail "the package does not depend on the C++ runtime"

# Mode, owner and path of every member; nothing of the build tree, the libraries or the tests.
contents=$(dpkg-deb -c "$package" | awk '{print $1, $2, $6}')
expected="drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/dispenserctl
-rwxr-xr-x root/root ./usr/bin/lcdm-sim
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/dispenserctl.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/lcdm-sim.1.gz"
if [ "$(sort -k3 <<<"$contents")" != "$expected" ]; then
  fail "the package does not hold exactly the tools and their pages:"
  diff <(echo "$expected") <(sort -k3 <<<"$contents") >&2 || true
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$package" "$work/root"
for program in dispenserctl lcdm-sim; do
  binary="$work/root/usr/bin/$program"
  page="$work/root/usr/share/man/man1/$program.1.gz"
  [ -x "$binary" ] && [ -f "$page" ] || { fail "$program or its page is missing"; continue; }

  # A sanitizer runtime would mean a test build was packed.
  dynamic=$(readelf -d "$binary")
  grep -E 'NEEDED.*lib(a|ub|t)san' <<<"$dynamic" && fail "$program is a sanitizer build"
  sections=$(readelf -S "$binary")
  grep -qE '\.(symtab|debug_info) ' <<<"$sections" && fail "$program is not stripped"

  [ "$("$binary" --version)" = "$program $version" ] ||
    fail "$program --version does not print '$program $version'"
  help=$("$binary" --help) || fail "$program --help fails"
  grep -q "^Usage: $program " <<<"$help" || fail "$program --help gives no usage line"

  # Well-formed: mandb reads its NAME line, and groff renders it without a warning.
  [[ "$(lexgrog "$page")" == *"\"$program - "[A-Za-z]* ]] || fail "$program.1: no NAME line that mandb reads"
  text=$(LC_ALL=C MANWIDTH=200 MANROFFOPT=-rHY=0 man --warnings -l "$page" 2>"$work/warnings") ||
    fail "$program.1 does not render"
  [ -s "$work/warnings" ] && fail "$program.1 renders with warnings: $(cat "$work/warnings")"
  grep -q "^SYNOPSIS" <<<"$text" || fail "$program.1 has no SYNOPSIS"
  for option in $(grep -o -- '--[a-z0-9][a-z0-9-]*' <<<"$help" | sort -u); do
    grep -q -- "$option" <<<"$text" || fail "$program.1 does not name the option $option"
  done
  [[ "$(zcat "$page")" == *"$root"* ]] && fail "$program.1 holds the build's path $root"
done
[ "$status" -eq 0 ] && echo "deb: the package holds the two tools and their pages, and they work"
exit $status
