#!/usr/bin/env bash
# Starts the module simulator on a pseudo-terminal, maps COM3 to it and runs
# vornax com3 against it. Arguments: simulator binary, vornax binary.
set -euo pipefail
sim="$1"; vornax="$2"

fifo=$(mktemp -u); mkfifo "$fifo"
"$sim" >"$fifo" & sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; rm -f "$fifo"' EXIT
read -r pty <"$fifo"
echo "module simulator on $pty"
CFC_COM3="$pty" "$vornax" com3
