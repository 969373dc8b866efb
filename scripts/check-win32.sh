#!/usr/bin/env bash
# Checks the 32-bit build: every library and program is i686 code, and every
# executable module imports only Windows system DLLs (the runtime is linked statically),
# the plug-in DLL exports exactly the two entry points the host looks up by name, and it
# is at most 1 MB.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/win32"
objdump=i686-w64-mingw32-objdump
system_dlls='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|shlwapi|shell32|comctl32|comdlg32|msvcrt|rpcrt4|riched20|riched32|version|winmm|ws2_32|hhctrl\.ocx|api-ms-win-[a-z0-9-]+)\.dll$'
status=0

for library in "$build"/lib/*.a; do
  formats=$($objdump -a "$library" | sed -n 's/.*file format //p' | sort -u)
  if [ "$formats" != "pe-i386" ]; then
    echo "win32: $library is not i686 code: $formats" >&2
    status=1
  else
    echo "win32: $(basename "$library") i686, $(stat -c %s "$library") bytes"
  fi
done

shopt -s nullglob
for module in "$build"/bin/*.dll "$build"/bin/*.exe; do
  imports=$($objdump -p "$module" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $imports; do
    if ! [[ "$dll" =~ $system_dlls ]]; then
      echo "win32: $(basename "$module") imports $dll, which is not a system DLL" >&2
      status=1
    fi
  done
  echo "win32: $(basename "$module") $(stat -c %s "$module") bytes, imports: $(echo $imports)"
done

plugin="$build/bin/DispenserPlugin.dll"
# What ships stays small: the runtime is linked statically, so a library layer pulled in
# by one call (iostreams, the file-system library, floating-point to_chars) shows here.
max_plugin_bytes=1048576
if [ ! -f "$plugin" ]; then
  echo "win32: $plugin was not built" >&2
  status=1
elif [ "$(stat -c %s "$plugin")" -gt "$max_plugin_bytes" ]; then
  echo "win32: DispenserPlugin.dll is $(stat -c %s "$plugin") bytes, more than $max_plugin_bytes" >&2
  status=1
fi
if [ -f "$plugin" ]; then
  exports=$($objdump -p "$plugin" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^\t\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
  if [ "$exports" != "DllGetClassObject TallivoxPlugin_InstallInit " ]; then
    echo "win32: DispenserPlugin.dll exports '$exports', not exactly DllGetClassObject and TallivoxPlugin_InstallInit" >&2
    status=1
  else
    echo "win32: DispenserPlugin.dll exports: $exports"
  fi
fi
exit $status
