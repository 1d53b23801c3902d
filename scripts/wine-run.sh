#!/usr/bin/env bash
# Runs a Windows program under Debian's 64-bit Wine, in the prefix of the windows build
# (build/windows/wine unless WINEPREFIX is set), made on first use (about 12 s). ctest uses
# it for the Windows tests (the toolchain file's CMAKE_CROSSCOMPILING_EMULATOR).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No desktop integration, menus or a Mono/Gecko download prompt in a headless prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
wine64=/usr/lib/wine/wine64
if [ ! -x "$wine64" ]; then
  echo "wine-run.sh: $wine64 is missing (apt-get install wine64, or bash scripts/install-deps.sh)" >&2
  exit 127
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # One process makes the prefix, the others wait for it.
  flock "$WINEPREFIX/.init.lock" bash -c \
    '[ -f "$WINEPREFIX/system.reg" ] || { /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1; /usr/lib/wine/wineserver -w; }'
fi
exec "$wine64" "$@"
