#!/usr/bin/env bash
# Installs, builds and runs every test of the default build, and the
# Python package's tests against it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh default
ctest --preset default -j "$(nproc)"
# cfckit for Python against the library and cfcsim just built; Debian's
# python3 has the pytest that deps.sh installs, a python3 earlier on PATH
# may not.
python=python3
"$python" -c 'import pytest' 2>/dev/null || python=/usr/bin/python3
"$python" -m pytest -q -p no:cacheprovider python/tests
