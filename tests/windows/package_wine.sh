#!/usr/bin/env bash
# The Windows package as a Windows user and a Windows programmer meet it,
# under Wine:
#   - the ZIP holds what the kit promises, the binaries stripped, each with
#     version information, none importing a MinGW runtime DLL, cfc.dll and
#     ZANTAL.dll exporting exactly the functions of their headers;
#   - the installer installs silently (/S), with bin put on the user's PATH
#     when asked (/ADDTOPATH=user), a Start-menu entry for kestrix and an
#     uninstaller registered;
#   - the installed vornax.exe, called by name through PATH, gives its
#     version and switches a simulated module off; a port whose device is
#     gone is reported as missing;
#   - the production example, compiled with MinGW against the installed
#     header and import library, switches a simulated module's user item
#     through the installed cfc.dll;
#   - the silent uninstall leaves nothing behind.
# The caller gives the Wine prefix (WINEPREFIX) with a Wine server running
# and three COM ports mapped: two with a simulated module in AT mode each,
# one to a device that does not exist.
#
# Usage: tests/windows/package_wine.sh <windows-build-dir> <vornax-port>
#          <production-port> <missing-port>      (ports as com6, com7, ...)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
vornax_port=$2 production_port=$3 missing_port=$4
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=cfckit-$version-win64
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
ok() { echo "ok: $*"; }
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

echo "-- packages"
(cd "$build" && cpack -G "ZIP;NSIS" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  exit 1
}
zip=$build/$name.zip installer=$build/$name.exe
for package in "$zip" "$installer"; do
  echo "$(basename "$package"): $(stat -c %s "$package") bytes"
done

echo "-- contents"
unzip -q "$zip" -d "$work/zip"
kit=$work/zip/$name
expected="README.txt
bin/ZANTAL.dll
bin/cfc.dll
bin/cfckit/__init__.py
bin/cfckit/_library.py
bin/cfckit/connection.py
bin/cfckit/py.typed
bin/cfctool.exe
bin/kestrix.exe
bin/vornax.exe
examples/production.c
examples/python/station_on_simulator.py
include/cfc.h
include/emmierr.h
include/zantal.h
lib/ZANTAL.def
lib/cfc.def
lib/libZANTAL.dll.a
lib/libcfc.dll.a"
got=$(cd "$kit" && find . -type f | sed 's#^\./##' | LC_ALL=C sort)
# A program added later (with its own install rule) joins bin/ without a
# change here; nothing listed may be missing.
missing=$(LC_ALL=C comm -23 <(echo "$expected" | LC_ALL=C sort) <(echo "$got"))
[ -z "$missing" ] && ok "the ZIP holds the kit ($(wc -l <<<"$got") files)" ||
  fail "the ZIP lacks: $missing"
[ "$(head -c 200 "$kit/README.txt" | grep -c $'\r$')" -gt 0 ] && ok "README.txt has Windows line ends" ||
  fail "README.txt has no Windows line ends"

for binary in "$kit"/bin/*.exe "$kit"/bin/*.dll; do
  file=$(basename "$binary")
  headers=$(x86_64-w64-mingw32-objdump -h "$binary")
  grep -q '\.debug_' <<<"$headers" && fail "$file is not stripped"
  runtime=$(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p' |
    grep -iE 'libgcc|libstdc|libwinpthread|mingw' || true)
  [ -z "$runtime" ] || fail "$file imports $runtime"
  # The version resource's strings are UTF-16; the product version follows
  # its key.
  product=$(strings -el "$binary" | grep -A1 -x ProductVersion | tail -n 1)
  [ "$product" = "$version" ] || fail "$file has no version information for $version"
  echo "$file: $(stat -c %s "$binary") bytes, product version $product, imports $(
    x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
done
"$here/dll_exports.sh" "$kit/include/cfc.h" "$kit/lib/cfc.def" 'W|TC2CFCMapper' "$kit/bin/cfc.dll" ||
  failures=$((failures + 1))
"$here/dll_exports.sh" "$kit/include/zantal.h" "$kit/lib/ZANTAL.def" 'ZANTAL_' "$kit/bin/ZANTAL.dll" ||
  failures=$((failures + 1))

echo "-- silent install"
target='C:\cfckit'
# /D comes last and unquoted, as the installer reads it.
timeout 300 wine "$installer" /S /ADDTOPATH=user "/D=$target" || fail "the installer ended with $?"
installed=$(winepath -u "$target")
[ -x "$installed/bin/vornax.exe" ] && [ -f "$installed/bin/cfc.dll" ] &&
  [ -f "$installed/Uninstall.exe" ] && ok "installed in $target" || fail "nothing installed in $target"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\cfckit'
wine reg query "$key" /v UninstallString >/dev/null 2>&1 && ok "the uninstaller is registered" ||
  fail "no uninstaller registered under $key"
links=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name '*.lnk' -path '*cfckit*' 2>/dev/null)
grep -q kestrix <<<"$links" && ok "Start-menu entry: $(grep kestrix <<<"$links" | sed 's#.*/Start Menu/##')" ||
  fail "no Start-menu entry for kestrix"
wine reg query 'HKCU\Environment' /v PATH 2>/dev/null | grep -qiF "$target\\bin" &&
  ok "bin is on the user's PATH" || fail "bin was not put on the user's PATH"

echo "-- installed programs"
# From a directory of its own, by name only: found through PATH.
mkdir "$work/run"
run() { (cd "$work/run" && timeout 120 wine "$@" 2>&1 | tr -d '\r'); }
out=$(run vornax.exe -ver) && grep -qx "vornax Version $version" <<<"$out" &&
  ok "vornax.exe -ver through PATH: $out" || fail "vornax.exe -ver through PATH printed: $out"
out=$(run vornax.exe "$vornax_port") && grep -qx 'AutoExec successfully switched off' <<<"$out" &&
  ok "installed vornax.exe $vornax_port switched the module off" ||
  fail "installed vornax.exe $vornax_port printed: $out"
code=0
out=$(run vornax.exe "$missing_port") || code=$?
if [ "$code" -eq 255 ] && grep -q "cannot open .*; plug the adapter in" <<<"$out"; then
  ok "a port whose device is gone: $(grep 'cannot open' <<<"$out")"
else
  fail "vornax.exe $missing_port (exit code $code) printed: $out"
fi

echo "-- production example against the installed cfc.dll"
if x86_64-w64-mingw32-gcc-posix -Wall -Wextra -Werror -std=c11 "$installed/examples/production.c" \
  -I"$installed/include" -L"$installed/lib" -lcfc -o "$work/run/production.exe"; then
  imports=$(x86_64-w64-mingw32-objdump -p "$work/run/production.exe" | sed -n 's/^\s*DLL Name: //p')
  grep -qx cfc.dll <<<"$imports" || fail "production.exe does not link cfc.dll"
  out=$(run production.exe "$production_port") && grep -q 'written and read back' <<<"$out" &&
    ok "production.exe $production_port: $out" || fail "production.exe $production_port printed: $out"
else
  fail "the production example does not compile against the installed kit"
fi

echo "-- silent uninstall"
# The uninstaller copies itself away and returns at once; the copy removes
# the kit (bounded wait for it).
wine "$installed/Uninstall.exe" /S || fail "the uninstaller ended with $?"
for _ in $(seq 120); do
  [ -e "$installed" ] || break
  sleep 0.5
done
left=$(find "$installed" 2>/dev/null || true)
links=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -path '*cfckit*' 2>/dev/null || true)
[ -z "$left$links" ] && ok "the uninstall left no file" || fail "left after the uninstall: $left $links"
wine reg query "$key" >/dev/null 2>&1 && fail "the uninstaller's key is still there" ||
  ok "the uninstaller's key is gone"
wine reg query 'HKCU\Environment' /v PATH 2>/dev/null | grep -qiF "$target\\bin" &&
  fail "bin is still on the user's PATH" || ok "bin is off the user's PATH"

[ "$failures" -eq 0 ]
