#!/usr/bin/env bash
# The two house rules a compiler does not check, run by CI:
#   - every C and C++ file is as .clang-format lays it out;
#   - every commit subject since this check came is at most 72 characters.
# Prints each offender and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh style
status=0

echo "== format =="
mapfile -d '' files < <(git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/check-style.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/check-style.$$ | cut -d: -f1 | sort -u | sed 's/^/  needs clang-format: /' >&2
  status=1
fi
rm -f /tmp/check-style.$$
echo "${#files[@]} files checked"

echo "== commit subjects =="
# Older subjects are history; the rule holds from the commit that added
# this check. A shallow clone that lacks that commit checks what it has.
since=$(git log --diff-filter=A --format=%H -- scripts/check-style.sh | tail -n 1)
range=HEAD
[ -n "$since" ] && range="$since^..HEAD"
git rev-parse -q --verify "$since^" >/dev/null 2>&1 || range=HEAD
long=$(git log --no-merges --format='%h %s' "$range" | awk 'length($0) - index($0, " ") > 72')
if [ -n "$long" ]; then
  printf '  subject over 72 characters: %s\n' "$long" >&2
  status=1
fi
echo "$(git log --no-merges --format=%h "$range" | wc -l) subjects checked"
exit "$status"
