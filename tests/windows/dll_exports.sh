#!/usr/bin/env bash
# A DLL's interface is its header: the .def file names exactly the functions
# the header declares, and the DLLs given export exactly what the .def names
# (a missing name breaks callers; an extra one is a name the kit never
# promised and cannot change).
#   dll_exports.sh HEADER DEF PREFIXES [DLL...]
# PREFIXES is an extended regular expression for the start of the public
# names, e.g. 'W|TC2CFCMapper' for cfc.h, 'ZANTAL_' for zantal.h.
set -euo pipefail
header=$1 def=$2 prefixes=$3
shift 3

# Declarations only: comment lines and preprocessor lines are left out.
header_names() {
  grep -vE '^\s*(\*|/\*|//|#)' "$header" |
    grep -oE "\b($prefixes)[A-Za-z0-9_]*\s*\(" | tr -d '( ' | sort -u
}
def_names() {
  awk '/^EXPORTS/ { names = 1; next } names && NF && $1 !~ /^;/ { print $1 }' "$def" | sort -u
}
dll_names() {
  local objdump=objdump
  command -v x86_64-w64-mingw32-objdump >/dev/null && objdump=x86_64-w64-mingw32-objdump
  "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    awk '/^[ \t]+\[/ { print $NF }' | sort -u
}

status=0
compare() {
  local what=$1 want=$2 got=$3
  if [ "$want" != "$got" ]; then
    echo "FAIL: $what" >&2
    diff <(echo "$want") <(echo "$got") | sed -n 's/^</  missing:/p; s/^>/  extra:  /p' >&2
    status=1
  fi
}

want=$(header_names)
[ -n "$want" ] || { echo "FAIL: no function of $prefixes in $header" >&2; exit 1; }
compare "$def names other functions than $header declares" "$want" "$(def_names)"
for dll in "$@"; do
  compare "$dll exports other names than $def" "$want" "$(dll_names "$dll")"
done
if [ "$status" -eq 0 ]; then
  echo "ok: the $(wc -l <<<"$want") functions of $(basename "$header") in $(basename "$def")${*:+, exported by $*}"
fi
exit "$status"
