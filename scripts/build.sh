#!/usr/bin/env bash
# Configures and builds one preset (default: "default"), all of it or only
# the targets named after it:
#   scripts/build.sh [PRESET [TARGET...]]
# Ninja's progress ([done/total] lines) and any compiler error go to the
# terminal; a failed build ends the script with a non-zero code.
#   BUILD_JOBS   parallel build jobs (default: all processors)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
shift $(( $# > 0 ? 1 : 0 ))
scripts/deps.sh
cmake --preset "$preset" >/dev/null
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
cmake --build --preset "$preset" -j "${BUILD_JOBS:-$(nproc)}" "${targets[@]}"
