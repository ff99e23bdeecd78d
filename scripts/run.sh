#!/usr/bin/env bash
# Builds Vellora and says what was built. (The tray program arrives in a later change.)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev -j "$(nproc)"
echo
echo "Built in build/dev:"
find build/dev -maxdepth 3 -type f \( -name '*.a' -o -perm -u+x \) ! -path '*/CMakeFiles/*' \
  ! -name '*.sh' | sort | sed 's/^/  /'
