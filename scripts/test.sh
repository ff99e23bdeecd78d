#!/usr/bin/env bash
# Runs every test: installs what is missing, configures, builds, checks formatting, runs CTest,
# then runs each fuzz target briefly.
#   bash scripts/test.sh          the dev preset (Debug, warnings as errors)
#   bash scripts/test.sh asan     the same under AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
bash scripts/check-format.sh
ctest --preset "$preset"
# A short run of every fuzz target (clang, libFuzzer); scripts/fuzz.sh says how to run longer.
bash scripts/fuzz.sh 10
