#!/usr/bin/env bash
# Runs Vellora: installs what is missing, configures and builds, then starts it. On a machine
# without a desktop it starts the throwaway test desktop and a short scripted demo instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev -j "$(nproc)" --target vellora
program=build/dev/Vellora.app/Contents/MacOS/Vellora

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  echo "Starting Vellora ($program); it lives in the tray."
  exec "$program"
fi
echo "No desktop here: starting the throwaway test desktop and a short demo."
exec bash scripts/with-desktop.sh bash scripts/demo.sh "$PWD/$program" "$PWD/build/dev/demo"
