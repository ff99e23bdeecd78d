#!/usr/bin/env bash
# Runs a command inside a fresh throwaway desktop session and stops the session afterwards,
# also when the command fails or the run is interrupted.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
session=$(mktemp -d "${TMPDIR:-/tmp}/vellora-desktop.XXXXXX")
cleanup() {
  bash "$here/desktop-session.sh" stop "$session" || true
  rm -rf "$session"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
bash "$here/desktop-session.sh" start "$session"
# shellcheck disable=SC1091
source "$session/env"
"$@"
