#!/usr/bin/env bash
# Builds kestrix and has the real program draw its windows offscreen: the main
# window, the About dialog and a message box, saved as PNG files in a folder
# (first argument; default build/screenshots/). A driver preloaded into the
# program opens each window as a user would and grabs it.
#   SCREENSHOTS_BUILD_DIR  build directory (default build/default)
#   SCREENSHOTS_JOBS       parallel build jobs (default: all processors)
set -euo pipefail
cd "$(dirname "$0")/.."

out="${1:-build/screenshots}"
build="${SCREENSHOTS_BUILD_DIR:-build/default}"
jobs="${SCREENSHOTS_JOBS:-$(nproc)}"

scripts/deps.sh
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" -j "$jobs" --target kestrix kestrix_driver

mkdir -p "$out"
out=$(cd "$out" && pwd)
build=$(cd "$build" && pwd)
QT_QPA_PLATFORM=offscreen \
  LD_PRELOAD="$build/tests/gui/libkestrix_driver.so" \
  KESTRIX_DRIVE="screenshots:$out" \
  "$build/frontends/gui/kestrix"
