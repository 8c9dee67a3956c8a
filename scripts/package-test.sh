#!/usr/bin/env bash
# Builds the Debian packages of the default build, has lintian check them
# (any error or warning fails the test), unpacks them into a temporary root
# (nothing is installed on the machine) and tries what a user of the
# packages gets: the files in their places, the libraries in the multiarch
# directory, libZANTAL's name and its private directory, pkg-config's plain
# include directory, and the unpacked vornax against the unpacked cfcsim.
#   PACKAGE_BUILD_DIR  build directory (default build/default)
#   PACKAGE_OUT_DIR    where the .deb is kept (default <build>/package)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${PACKAGE_BUILD_DIR:-build/default}"
out="${PACKAGE_OUT_DIR:-$build/package}"

scripts/deps.sh package
cmake --preset default -B "$build" >/dev/null
# cpack installs what is built; it builds nothing itself.
cmake --build "$build" -j "${BUILD_JOBS:-$(nproc)}"
mkdir -p "$out"
build=$(cd "$build" && pwd)
out=$(cd "$out" && pwd)
rm -f "$out"/*.deb
# CPack's own warnings (a library without a soname, say) fail the test too.
cpack_log=$(cd "$out" && cpack -G DEB --config "$build/CPackConfig.cmake" 2>&1)
debs=("$out"/*.deb)

failed=0
fail() { echo "package-test: $*" >&2; failed=1; }

if grep -qi 'warning' <<<"$cpack_log"; then
  fail "cpack warned:"
  grep -i -A3 'warning' <<<"$cpack_log" >&2
fi
for deb in "${debs[@]}"; do
  echo "== $(basename "$deb") =="
  dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\|Installed-Size\):/  \1:/p'
done

# Debian's own check; informational hints are shown but pass.
lintian_out=$(lintian --tag-display-limit 0 "${debs[@]}" 2>&1) || true
echo "== lintian =="
echo "${lintian_out:-(nothing to report)}"
if grep -Eq '^[EW]: ' <<<"$lintian_out"; then
  fail "lintian reports errors or warnings"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$root"
done

usr="$root/usr"
for f in bin/vornax bin/kestrix bin/cfcsim \
         share/man/man1/vornax.1.gz share/man/man1/kestrix.1.gz share/man/man1/cfcsim.1.gz \
         share/applications/kestrix.desktop \
         share/icons/hicolor/32x32/apps/kestrix.png share/icons/hicolor/64x64/apps/kestrix.png \
         share/doc/cfckit/examples/99-cfc.rules include/zantal.h include/cfc/cfc.h include/cfc/emmierr.h; do
  [ -e "$usr/$f" ] || fail "missing /usr/$f"
done

# The CFC library for other programs: the shared library under its soname
# in the multiarch directory, with its pkg-config and CMake package files.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for f in libcfc.so.1 libcfc.so pkgconfig/cfc.pc cmake/cfc/cfcConfig.cmake libZANTAL.so.1; do
  [ -e "$usr/lib/$multiarch/$f" ] || fail "missing /usr/lib/$multiarch/$f"
done
cflags=$(PKG_CONFIG_PATH="$usr/lib/$multiarch/pkgconfig" pkg-config --cflags cfc | xargs)
[ "$cflags" = "-I/usr/include/cfc" ] || fail "pkg-config --cflags cfc gives '$cflags'"

# ZANTAL: a versioned file, the soname link the loader uses, and its helpers
# only in the private directory its RUNPATH names.
lib=$(dirname "$(find "$usr" -name 'libZANTAL.so.*.*' | head -n 1)")
zantal=$(find "$lib" -maxdepth 1 -name 'libZANTAL.so.*.*' | head -n 1)
if [ -z "$zantal" ]; then
  fail "no versioned libZANTAL"
else
  soname=$(readelf -d "$zantal" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  runpath=$(readelf -d "$zantal" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [ "$soname" = libZANTAL.so.1 ] || fail "libZANTAL's soname is '$soname'"
  [ -L "$lib/libZANTAL.so.1" ] || fail "no link libZANTAL.so.1"
  [ "$runpath" = '$ORIGIN/cfckit' ] || fail "libZANTAL's RUNPATH is '$runpath'"
  for f in libsetupapi.so libzantalwin.so; do
    [ -e "$lib/cfckit/$f" ] || fail "missing $lib/cfckit/$f"
    [ ! -e "$lib/$f" ] || fail "$f lies in the public library directory"
  done
  # Read whole first: with pipefail, grep -q stopping at its match can end
  # ldd with SIGPIPE and fail a check that held.
  needed=$(ldd "$zantal")
  grep -q "libzantalwin.so => $lib/cfckit/" <<<"$needed" ||
    fail "libZANTAL does not find its helper in cfckit/: $(grep zantalwin <<<"$needed")"
fi

version=$("$usr/bin/vornax" -ver) || fail "vornax -ver failed"
[ "$version" = "vornax Version 1.0.2" ] || fail "vornax -ver printed '$version'"
echo "$version"

if result=$(scripts/run-demo.sh "$usr/bin/cfcsim" "$usr/bin/vornax"); then
  echo "$result"
else
  fail "unpacked vornax com3 against unpacked cfcsim: exit $?, '$result'"
fi

[ "$failed" -eq 0 ] && echo "package test passed"
exit "$failed"
