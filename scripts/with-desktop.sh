#!/usr/bin/env bash
# Runs a command inside a fresh throwaway desktop session and stops the session afterwards,
# also when the command fails or the run is interrupted.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# Wayland compositors refuse to run as root: such a session, and the command in it, run as an
# unprivileged user instead.
if [ -n "${VELLORA_COMPOSITOR:-}" ] && [ "$(id -u)" -eq 0 ]; then
  exec setpriv --reuid=nobody --regid=nogroup --clear-groups bash "$0" "$@"
fi
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
