#!/usr/bin/env bash
# Builds the windows preset and tests it under Wine, in a Wine prefix of its
# own that is made once per run and removed at the end:
#   1. the library tests over the in-memory serial line (ctest label "lib");
#   2. the Win32 serial port on a real COM port: the module simulator (the
#      Linux cfcsim) on a pseudo-terminal that Wine maps to COM3;
#   3. vornax.exe -ver; vornax.exe com4 / com5 against simulated modules in
#      AT and in EMMI mode, each of which must end with AutoExec off; and
#      vornax.exe com99, a port with nothing behind it;
#   4. ZANTAL.dll and kestrix.exe;
#   5. cfctool.exe --json com6 info against a simulated module in EMMI mode;
#   6. the Windows package: the ZIP and the installer built, installed
#      silently, the installed programs and a C program on the installed
#      cfc.dll run against simulated modules, uninstalled silently.
# What Wine cannot do (DTR on a pseudo-terminal, exclusive opens) is skipped
# with the reason by the tests themselves.
#   BUILD_JOBS   parallel build jobs (default: all processors)
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

scripts/deps.sh windows
echo "== windows build =="
scripts/build.sh windows
# The simulator runs on Linux: the Windows programs meet it through Wine.
scripts/build.sh default cfcsim_program

sim=build/default/tools/cfcsim
bin=build/windows
vornax=$PWD/$bin/frontends/console/vornax.exe

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# No browser or .NET runtime is needed; leaving them out keeps the start quick
# and free of install dialogs.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Wine's server runs for the whole of a phase: a test program that starts
# while a server on its own is just ending is refused ("wine client error:
# recvmsg: Connection reset by peer"). Started by hand, its own messages (an
# object dump when it is stopped) stay out of the log.
start_wineserver() {
  wineserver -p >/dev/null 2>&1
}
# Stopping the server saves the registry.
stop_wineserver() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
}

sim_pids=()
cleanup() {
  for pid in "${sim_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  stop_wineserver
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "== Wine prefix =="
# The server needs the prefix's directory; wineboot fills it.
mkdir "$WINEPREFIX"
start_wineserver
wineboot -i >/dev/null 2>&1
# A fresh prefix maps COM1 to /dev/ttyS0 by itself, on many machines the
# kernel's console: no test may reach it. Every port a test uses is mapped
# below, each to its own simulated module or to nothing.
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "" /f >/dev/null 2>&1
echo "prefix ready after $((SECONDS - started)) s"

echo "== library tests under Wine =="
ctest --preset windows -j "${BUILD_JOBS:-$(nproc)}"

# Starts a simulated module on a new pseudo-terminal and maps COM<n> to it.
# Wine takes the map from its registry (a symbolic link in dosdevices alone
# is rewritten from there when Wine starts).
module_on_com() {
  local com=$1 pty fd
  shift
  exec {fd}< <(exec "$sim" "$@" </dev/null)
  sim_pids+=($!)
  if ! IFS= read -r -t 10 -u "$fd" pty || [ -z "$pty" ]; then
    echo "The module simulator did not name its terminal within 10 s." >&2
    exit 1
  fi
  echo "module simulator $* on $pty as COM$com"
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$com" /t REG_SZ /d "$pty" /f >/dev/null 2>&1
}
module_on_com 3 --mode=at
module_on_com 4 --mode=at
module_on_com 5 --mode=emmi
module_on_com 6 --mode=emmi
# The ports are mapped when Wine starts again.
stop_wineserver
start_wineserver

echo "== COM port under Wine =="
CFC_TEST_COM=3 wine "$bin/tests/platform/com_port_test.exe"

echo "== vornax.exe =="
failures=0
# Runs vornax.exe with the arguments in a directory of its own; its output
# must hold a line that matches the pattern (grep -E), and its exit code must
# be the one given.
expect_vornax() {
  local want_code=$1 want_line=$2 out code=0
  shift 2
  out=$(cd "$work" && timeout 120 wine "$vornax" "$@" 2>&1) || code=$?
  if [ "$code" -eq "$want_code" ] && grep -qxE -- "$want_line" <<<"${out//$'\r'/}"; then
    echo "ok: vornax.exe $* -> $want_line"
  else
    echo "FAILED: vornax.exe $* (exit code $code, wanted $want_code); it printed:" >&2
    echo "$out" >&2
    failures=$((failures + 1))
  fi
}
expect_vornax 0 "vornax Version [0-9.]+" -ver
expect_vornax 0 "AutoExec successfully switched off" com4
expect_vornax 0 "AutoExec successfully switched off" com5
# A port with nothing behind it fails the open, with the failure exit code;
# the trace asked for says why, in tracefiles\tracefile.txt.
CFC_TRACE=1 expect_vornax 255 "Error: Cannot connect to Module" com99
if grep -q '(CFC ) WComOpen' "$work/tracefiles/tracefile.txt" 2>/dev/null; then
  echo "ok: CFC_TRACE=1 vornax.exe com99 -> tracefiles\\tracefile.txt"
else
  echo "FAILED: CFC_TRACE=1 vornax.exe com99 wrote no trace file" >&2
  failures=$((failures + 1))
fi

echo "== cfctool.exe =="
# info against a simulated module: the IMEI the simulator gives, as JSON.
cfctool=$PWD/$bin/frontends/cfctool/cfctool.exe
code=0
out=$(cd "$work" && timeout 120 wine "$cfctool" --json com6 info 2>&1) || code=$?
if [ "$code" -eq 0 ] && grep -qE '"imei": "351234567890123f"' <<<"${out//$'\r'/}"; then
  echo "ok: cfctool.exe --json com6 info -> imei 351234567890123f"
else
  echo "FAILED: cfctool.exe --json com6 info (exit code $code); it printed:" >&2
  echo "$out" >&2
  failures=$((failures + 1))
fi

echo "== ZANTAL.dll and kestrix.exe =="
tests/windows/zantal_wine.sh "$bin" || failures=$((failures + 1))
tests/windows/kestrix_wine.sh "$bin" build/screenshots || failures=$((failures + 1))

# ---- The Windows package: the ZIP and the installer, installed silently
# into this prefix and used as a Windows user and programmer would (see
# tests/windows/package_wine.sh). Its ports: two fresh simulated modules,
# and one mapped to a device that does not exist.
package_checks() {
  local phase=$SECONDS
  echo "== Windows package =="
  module_on_com 6 --mode=at
  module_on_com 9 --mode=at
  wine reg add 'HKLM\Software\Wine\Ports' /v COM8 /t REG_SZ /d "$work/unplugged-adapter" /f >/dev/null 2>&1
  stop_wineserver
  start_wineserver
  if [ "$(readlink "$WINEPREFIX/dosdevices/com1" 2>/dev/null)" = /dev/ttyS0 ]; then
    echo "FAILED: COM1 is still mapped to /dev/ttyS0" >&2
    failures=$((failures + 1))
  fi
  tests/windows/package_wine.sh "$bin" com6 com9 com8 || failures=$((failures + 1))
  echo "package checks: $((SECONDS - phase)) s"
}
package_checks

echo "test-windows: $((SECONDS - started)) s"
[ "$failures" -eq 0 ]
