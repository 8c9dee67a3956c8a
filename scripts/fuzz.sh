#!/usr/bin/env bash
# Builds the fuzz preset and runs every harness for a bounded time over a
# copy of its seed corpus (fuzz/corpus/<harness>; the repository's corpus is
# never written). Fails when a harness crashes; the input that did it is kept
# in <build>/fuzz-artifacts/<harness>/.
#   FUZZ_SECONDS    time per harness (default: 150 s shared by the harnesses,
#                   at most 60 s each, which keeps CI's share under three
#                   minutes however many there are)
#   FUZZ_BUILD_DIR  build directory (default build/fuzz, the preset's own)
#   FUZZ_JOBS       parallel build jobs (default: all processors)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${FUZZ_BUILD_DIR:-build/fuzz}"
jobs="${FUZZ_JOBS:-$(nproc)}"

harnesses=()
for dir in fuzz/corpus/*/; do
  harnesses+=("$(basename "$dir")")
done

seconds=$((150 / ${#harnesses[@]}))
[ "$seconds" -le 60 ] || seconds=60
seconds="${FUZZ_SECONDS:-$seconds}"

scripts/deps.sh fuzz
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$jobs" --target "${harnesses[@]/#/fuzz_}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$(pwd)
mkdir "$work/run"
build=$(cd "$build" && pwd)

failed=()
for name in "${harnesses[@]}"; do
  corpus="$work/$name"
  artifacts="$build/fuzz-artifacts/$name/"
  mkdir -p "$corpus" "$artifacts"
  cp "$root/fuzz/corpus/$name"/* "$corpus"/
  log="$artifacts/log.txt"
  echo "== fuzz_$name: ${seconds}s =="
  # -timeout lies far above the harness's own bound for one input (10 s).
  # The harness runs in the temporary directory, where any file the library
  # writes (a trace, a signal trace) goes with it.
  if (cd "$work/run" && "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=30 \
      -max_len=2048 -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus") >"$log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || tail -n 5 "$log"
  else
    tail -n 60 "$log"
    echo "fuzz_$name failed; its log and crashing input are in $artifacts" >&2
    failed+=("$name")
  fi
done

[ ${#failed[@]} -eq 0 ]
