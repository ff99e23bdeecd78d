#!/usr/bin/env bash
# Runs every test: installs what is missing, configures, builds, checks formatting, runs CTest
# (unit, integration, e2e, install and fault tests), then the same suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target briefly.
#   bash scripts/test.sh          all of it
#   bash scripts/test.sh dev      only the dev preset's suite (Debug, warnings as errors)
#   bash scripts/test.sh asan     only the sanitizer build's suite
set -euo pipefail
cd "$(dirname "$0")/.."
only=${1:-}

bash scripts/install-deps.sh
bash scripts/check-format.sh
bash scripts/lint-js.sh

suite() {
  cmake --preset "$1"
  cmake --build --preset "$1" -j "$(nproc)"
  ctest --preset "$1"
}

if [ -z "$only" ]; then
  suite dev
  suite asan
  # A short run of every fuzz target (clang, libFuzzer); scripts/fuzz.sh says how to run longer.
  bash scripts/fuzz.sh 10
else
  suite "$only"
fi
