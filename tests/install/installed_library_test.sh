#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds a small C program
# against the installed CFC header and shared library, through pkg-config
# and through CMake's find_package; both open a connection to the module
# simulator and close it. A production sequence and the README's example
# run against the simulator too, and so does the installed Python package.
# The shared library must export the public operations only.
# Arguments: build directory, source directory.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
pc=$(find "$work/prefix" -name cfc.pc | head -n 1)
[ -n "$pc" ] || { echo "cfc.pc was not installed" >&2; exit 1; }
export PKG_CONFIG_PATH=$(dirname "$pc")
libdir=$(pkg-config --variable=libdir cfc)

soname=$(objdump -p "$libdir/libcfc.so.1" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = libcfc.so.1 ] || { echo "soname is '$soname'" >&2; exit 1; }
# The test-system entry TC2CFCMapper is the one public name without the W.
extra=$(nm -D --defined-only "$libdir/libcfc.so.1" | awk '$3 !~ /^W[A-Z]/ && $3 != "TC2CFCMapper" { print $3 }')
[ -z "$extra" ] || { echo "exports beyond the public operations: $extra" >&2; exit 1; }

cc -Wall -Wextra -Werror -std=c11 "$source/tests/install/open_close.c" \
  $(pkg-config --cflags --libs cfc) -o "$work/open_close"
LD_LIBRARY_PATH=$libdir "$source/scripts/run-demo.sh" "$build/tools/cfcsim" "$work/open_close"

# A production sequence (IMEI, a user item written and read back), and the
# example of the README, which must build as it stands there.
cc -Wall -Wextra -Werror -std=c11 "$source/examples/production.c" \
  $(pkg-config --cflags --libs cfc) -o "$work/production"
LD_LIBRARY_PATH=$libdir "$source/scripts/run-demo.sh" "$build/tools/cfcsim" "$work/production"
awk '/^<!-- production example -->$/ { take = 1; next } take && /^```c$/ { inside = 1; next }
     inside && /^```$/ { exit } inside { print }' "$source/README.md" > "$work/example.c"
[ -s "$work/example.c" ] || { echo "README has no production example" >&2; exit 1; }
cc -Wall -Wextra -Werror -std=c11 "$work/example.c" $(pkg-config --cflags --libs cfc) -o "$work/example"
LD_LIBRARY_PATH=$libdir "$source/scripts/run-demo.sh" "$build/tools/cfcsim" "$work/example"

# cfckit for Python where the package puts it, on the installed library.
pydir="$work/prefix/lib/python3/dist-packages"
[ -f "$pydir/cfckit/__init__.py" ] && [ -f "$pydir/cfckit/py.typed" ] ||
  { echo "cfckit was not installed below lib/python3/dist-packages" >&2; exit 1; }
CFCSIM="$build/tools/cfcsim" CFC_LIBRARY="$libdir/libcfc.so.1" PYTHONPATH="$pydir" \
  python3 "$work/prefix/share/doc/cfckit/examples/python/station_on_simulator.py" >/dev/null

cmake -S "$source/tests/install" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
LD_LIBRARY_PATH=$libdir "$source/scripts/run-demo.sh" "$build/tools/cfcsim" "$work/consumer/open_close"
echo "installed library: header, pkg-config, CMake package and exports as expected"
