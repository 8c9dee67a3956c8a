#!/bin/sh
# ZANTAL.dll under Wine: loaded by name, every export found, the rights
# check, the port list from Wine's registry with a COM port that Wine maps to
# a pseudo-terminal, the speed probe on that port, the SetupAPI-based and the
# RAS exports. Steps that meet a Wine stub print "SKIP: <reason>".
#
# Usage: tests/windows/zantal_wine.sh [windows-build-dir]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build/windows}" && pwd)
. "$here/wine_env.sh"
trap wine_end EXIT
port=COM5

# Wine reads its port map when its server starts.
python3 "$here/with_pty.py" sh -c '
  build=$2
  . "$3/wine_env.sh"
  wine reg add "HKLM\\Software\\Wine\\Ports" /v "$1" /d "$PTY" /f >/dev/null 2>&1
  wine_restart
  wine "$2/zantal/zantal_check.exe" "$1"
' sh "$port" "$build" "$here"
