#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over every C++ source file of src/ (and the
# project's headers they include), with the dev build's compile commands; it builds that first,
# since the sources include the build's generated headers. The checks are known to agree in
# clang-tidy 14 (Debian 12) and 19 (Debian 13); with another release it says so and is skipped
# (exit status 77), as a third release may find new things.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(clang-tidy --version 2>/dev/null | sed -nE 's/.*version ([0-9]+)\..*/\1/p' || true)
case $version in
  14 | 19) ;;
  *) echo "clang-tidy: skipped, checked with clang-tidy 14 or 19 only (found ${version:-none})"
     exit 77 ;;
esac
cmake --preset dev >/dev/null
if ! build=$(cmake --build --preset dev -j "$(nproc)" 2>&1); then
  printf '%s\n' "$build" | tail -40
  echo "clang-tidy: the dev build failed, so there is nothing to check against" >&2
  exit 1
fi
# Every source file the build compiles (the copy checked in another release's root has no
# repository to ask).
mapfile -d '' -t files < <(find src -name '*.cpp' -print0 | sort -z)
if [ ${#files[@]} -eq 0 ]; then
  echo "clang-tidy: no C++ sources under src/" >&2
  exit 1
fi
rc=0
# Four files to a run, as many runs as cores; only the findings are shown, not the counts of
# what the check set leaves out.
printf '%s\0' "${files[@]}" |
  xargs -0 -r -P "$(nproc)" -n 4 clang-tidy -p build/dev --quiet 2>&1 |
  { grep -vE '^[0-9]+ warnings? generated\.$' || true; } || rc=$?
if [ $rc -ne 0 ]; then
  echo "clang-tidy found the problems above; each line names its check (see .clang-tidy)" >&2
  exit 1
fi
echo "clang-tidy: ${#files[@]} files clean (clang-tidy $version)"
