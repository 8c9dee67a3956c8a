#!/usr/bin/env bash
# What ships is what runs: the shared library and the programs carry neither
# the in-memory serial line nor the path that reaches it. Each binary given is
# searched for the line's symbols and for its path prefix.
set -euo pipefail
status=0
for binary in "$@"; do
  if [ ! -f "$binary" ]; then
    echo "missing: $binary" >&2
    status=1
    continue
  fi
  symbols=$(nm -C "$binary" 2>/dev/null | grep -E 'VirtualLine|VirtualHostPort|registerVirtualDevice' || true)
  texts=$(strings "$binary" | grep -F 'virtual:' || true)
  if [ -n "$symbols$texts" ]; then
    echo "$binary carries the in-memory line:" >&2
    printf '%s\n' "$symbols" "$texts" | sed '/^$/d; s/^/  /' >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "no in-memory line in $# shipped binaries"
exit "$status"
