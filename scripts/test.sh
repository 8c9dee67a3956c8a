#!/usr/bin/env bash
# Installs, builds and runs every test of the default build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh default
ctest --preset default -j "$(nproc)"
