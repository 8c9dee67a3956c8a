#!/usr/bin/env bash
# Installs, builds and runs the main job (vornax switching AutoExec off)
# against the built-in module simulator on a pseudo-terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Building (the first run installs packages and takes a few minutes)..." >&2
scripts/build.sh default >/dev/null
sim=build/default/tools/cfcsim
if [ ! -x "$sim" ]; then
  echo "The module simulator is not built yet: the main job cannot run against it." >&2
  exit 1
fi
exec scripts/run-demo.sh "$sim" build/default/frontends/console/vornax
