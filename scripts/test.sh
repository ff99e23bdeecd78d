#!/usr/bin/env bash
# Runs every test: installs what is missing, configures, builds, checks formatting, runs CTest
# (unit, integration, e2e, install and fault tests) and clang-tidy, then the same suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the unit, integration and fault tests
# built with ThreadSanitizer, then each fuzz target briefly, then the dev
# suite again inside a Debian root of the other supported release (scripts/other-release.sh).
# Every stage runs even when one before it failed; the last lines say which passed, failed or
# were skipped (a stage that cannot run on this machine exits with 77 and says why).
#   bash scripts/test.sh          all of it
#   bash scripts/test.sh dev      only the dev preset's suite (Debug, warnings as errors)
#   bash scripts/test.sh asan     only the AddressSanitizer build's suite (tsan: ThreadSanitizer)
set -uo pipefail
cd "$(dirname "$0")/.."
only=${1:-}

bash scripts/install-deps.sh || exit 1

passed=() failed=() skipped=()
stage() {
  local name=$1 start=$SECONDS rc=0
  shift
  echo "== $name"
  "$@" || rc=$?
  case $rc in
    0) passed+=("$name ($((SECONDS - start)) s)") ;;
    77) skipped+=("$name") ;;
    *) failed+=("$name ($((SECONDS - start)) s)") ;;
  esac
}

suite() {
  cmake --preset "$1" && cmake --build --preset "$1" -j "$(nproc)" && ctest --preset "$1"
}

if [ -z "$only" ]; then
  stage format bash scripts/check-format.sh
  stage lint-js bash scripts/lint-js.sh
  stage dev suite dev
  stage tidy bash scripts/check-tidy.sh
  stage asan suite asan
  stage tsan suite tsan
  # A short run of every fuzz target (clang, libFuzzer); scripts/fuzz.sh says how to run longer.
  stage fuzz bash scripts/fuzz.sh 10
  stage other-release bash scripts/other-release.sh
else
  stage "$only" suite "$only"
fi

echo
for s in "${passed[@]}"; do echo "passed: $s"; done
for s in "${skipped[@]}"; do echo "skipped: $s"; done
for s in "${failed[@]}"; do echo "FAILED: $s"; done
echo "stages: ${#passed[@]} passed, ${#failed[@]} failed, ${#skipped[@]} skipped"
[ ${#failed[@]} -eq 0 ]
