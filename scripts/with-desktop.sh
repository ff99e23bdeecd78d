#!/usr/bin/env bash
# Runs a command inside a fresh throwaway desktop session and stops the session afterwards,
# also when the command fails or the run is interrupted.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# Wayland compositors refuse to run as root: such a session, and the command in it, run as an
# unprivileged user instead.
if [ -n "${VELLORA_COMPOSITOR:-}" ] && [ "$(id -u)" -eq 0 ]; then
  as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  tree=$(cd "$here/.." && pwd -P) # the path CMake compiled into the tests
  if "${as_nobody[@]}" test -r "$here/with-desktop.sh"; then
    exec "${as_nobody[@]}" bash "$here/with-desktop.sh" "$@"
  fi
  # The clone lies under a folder that user may not enter (root's home is 0700). In a mount
  # namespace of the session's own, the topmost such folder is replaced by an empty one that
  # holds only the way to the clone; nothing changes for anyone else.
  blocked=/
  while [ "$blocked" != "$tree" ]; do
    next=$tree
    while [ "$(dirname "$next")" != "$blocked" ]; do next=$(dirname "$next"); done
    blocked=${next}
    "${as_nobody[@]}" test -x "$blocked" || break
  done
  if [ "$blocked" = "$tree" ]; then # the way is open: the clone itself is closed
    echo "with-desktop: the clone $tree is closed to other users (made with umask 077?); the" \
      "Wayland sessions run as nobody: chmod -R o+rX it" >&2
    exit 1
  fi
  propagation=$(bash "$here/mount-propagation.sh") || exit 1
  exec unshare --mount --propagation "$propagation" bash -c '
    set -e
    tree=$1 blocked=$2; shift 2
    stash=$(mktemp -d /tmp/vellora-tree.XXXXXX)
    mount --bind "$tree" "$stash"
    mount -t tmpfs -o mode=0755 vellora-open "$blocked"
    mkdir -p "$tree"
    mount --move "$stash" "$tree"
    rmdir "$stash"
    exec "$@"' bash "$tree" "$blocked" "${as_nobody[@]}" bash "$here/with-desktop.sh" "$@"
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
