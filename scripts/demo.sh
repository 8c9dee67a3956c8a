#!/usr/bin/env bash
# Installs what the build needs, builds the two programs the demo runs and
# runs the main job (vornax switching AutoExec off) against the module
# simulator on a pseudo-terminal. Only vornax and cfcsim are built: the
# tests, benchmarks and the GUI wait for scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Building vornax and cfcsim (under a minute on an idle two-core machine)..." >&2
# The build's progress and errors go to standard error, so standard output
# holds only what vornax prints.
scripts/build.sh default vornax cfcsim_program >&2
exec scripts/run-demo.sh build/default/tools/cfcsim build/default/frontends/console/vornax
