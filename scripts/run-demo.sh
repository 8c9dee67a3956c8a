#!/usr/bin/env bash
# Starts the module simulator on a pseudo-terminal, maps COM3 to it and runs
# vornax com3 against it.
# Arguments: simulator binary, vornax binary, then options for the simulator
# (default: a module in AT mode). Exits with vornax's exit code; the
# simulator is ended whatever happens.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 SIMULATOR VORNAX [SIMULATOR-OPTIONS...]" >&2
  exit 2
fi
sim=$1
vornax=$2
shift 2
[ $# -gt 0 ] || set -- --mode=at
com=3
# The simulator prints its terminal's path and nothing more; a slow start on
# a loaded machine is still far below this bound.
start_bound_s=10

sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The script holds the read end of the simulator's output until it ends, so
# the simulator can never meet a closed pipe (and SIGPIPE) while it runs.
exec {sim_out}< <(exec "$sim" "$@" </dev/null)
sim_pid=$!

if ! IFS= read -r -t "$start_bound_s" -u "$sim_out" pty || [ -z "$pty" ]; then
  echo "The module simulator did not name its terminal within ${start_bound_s} s." >&2
  exit 1
fi

echo "module simulator (pid $sim_pid) on $pty as COM$com" >&2
env "CFC_COM$com=$pty" "$vornax" "com$com" {sim_out}<&-
exit $?
