#!/bin/sh
# ZANTAL.dll under Wine: loaded by name, every export found, the rights
# check, the port list from Wine's registry with a COM port that Wine maps to
# a pseudo-terminal, the speed probe on that port, the SetupAPI-based and the
# RAS exports. Steps that meet a Wine stub print "SKIP: <reason>".
#
# Usage: tests/windows/zantal_wine.sh [build-dir]   (default build/windows)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build/windows}" && pwd)
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
port=COM5

# Wine reads its port map when its server starts, so the server is ended
# after the map changes.
python3 "$here/with_pty.py" sh -c '
  wine reg add "HKLM\\Software\\Wine\\Ports" /v "$1" /d "$PTY" /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
  wine "$2/zantal/zantal_check.exe" "$1"
' sh "$port" "$build"
