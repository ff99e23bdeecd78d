#!/usr/bin/env bash
# Builds the fuzz targets (the fuzz preset, clang) and runs each for a bounded time.
#   bash scripts/fuzz.sh              10 seconds each, from the seed inputs alone (the test command)
#   bash scripts/fuzz.sh 3600 --keep  an hour each, keeping what it learns in build/fuzz/corpus/
# A fixed seed makes a short run repeatable. Nothing is written into the repository: inputs
# found go to build/fuzz/corpus/ (or a fresh folder under build/fuzz/run/), and an input that
# breaks a target is saved as build/fuzz/artifacts/<target>-crash-… with its log beside it.
# Replay one with: build/fuzz/fuzz/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
keep=${2:-}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

build=build/fuzz
mkdir -p "$build/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
# Targets write small files (settings, plists, autostart entries): keep them off the disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

failed=0
for seeds in fuzz/corpus/*/; do
  target=$(basename "$seeds")
  if [ "$keep" = "--keep" ]; then
    work="$build/corpus/$target"
  else
    work="$build/run/$target"
    rm -rf "$work"
  fi
  mkdir -p "$work"
  log="$build/artifacts/$target.log"
  options=()
  if [ -f "fuzz/$target.options" ]; then
    mapfile -t options < <(grep -v '^#' "fuzz/$target.options")
  fi
  if "$build/fuzz/$target" "${options[@]}" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 \
      "$work" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} inputs in ${seconds} s, no failure"
  else
    failed=1
    echo "fuzz $target: FAILED (log: $log)" >&2
    grep -E 'property failed|ERROR|ASSERT|runtime error|SUMMARY|Test unit written' -A2 "$log" |
      head -30 >&2 || true
  fi
done
exit $failed
