#!/usr/bin/env bash
# Runs a Windows program under wine64 in the prefix of the wine session it is called
# from: the CMake emulator of the win64 build (CTest puts it before every test program).
#   scripts/wine64.sh PROGRAM [ARGS...]
# Outside a session it refuses, rather than let wine make a prefix in the home folder.
set -euo pipefail

if [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX" ]; then
  echo "wine64.sh: no wine prefix; run inside scripts/wine-session.sh" >&2
  exit 125
fi
export WINEDEBUG=${WINEDEBUG--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES-"mscoree,mshtml="}
exec /usr/lib/wine/wine64 "$@"
