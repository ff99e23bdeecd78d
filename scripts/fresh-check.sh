#!/usr/bin/env bash
# Tries the README's two commands as a newcomer meets them: a fresh Debian of the given release
# (debootstrap minbase plus git, nothing else), a clone of this repository's HEAD, then the test
# command and the run command with no display, printing each stage's status and time. Not part of
# the test command: it takes 20 to 40 minutes on two cores. Needs root (debootstrap, chroot).
#   bash scripts/fresh-check.sh [bookworm|trixie] [--user] [--dir PATH]
#     --user      run the commands as an ordinary user with sudo (default: as root)
#     --dir PATH  where the clone goes (default: the user's home; a path with a space works too)
# The machine is kept in /var/tmp/vellora-fresh-<release>[-user] until the next check; logs lie
# beside it.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
release=bookworm as_user= dir=
while [ $# -gt 0 ]; do
  case $1 in
    bookworm | trixie) release=$1 ;;
    --user) as_user=newcomer ;;
    --dir) dir=${2:?--dir needs a path}; shift ;;
    *) echo "usage: fresh-check.sh [bookworm|trixie] [--user] [--dir PATH]" >&2; exit 2 ;;
  esac
  shift
done
[ "$(id -u)" -eq 0 ] || { echo "fresh-check.sh needs root (debootstrap, chroot)" >&2; exit 2; }
export PATH=/usr/sbin:/sbin:$PATH
command -v debootstrap >/dev/null || { apt-get update -q && apt-get install -y -q debootstrap; } >/dev/null
home=/root
[ -n "$as_user" ] && home=/home/$as_user
dir=${dir:-$home/vellora}
case $dir in
  /*) ;;
  *) echo "--dir needs an absolute path, not $dir" >&2; exit 2 ;;
esac

root=/var/tmp/vellora-fresh-$release${as_user:+-user}
logs=$root-logs
exec 9>"$root.lock"
flock -n 9 || { echo "another fresh check of $release runs" >&2; exit 2; }
rm -rf --one-file-system "$root" "$logs"
mkdir -p "$logs"
mirror=$(bash "$repo/scripts/debian-mirror.sh")

# Runs one stage, which stops at its first failing command, and prints its status and time; the
# status is left in $rc. Called plainly: bash ignores set -e in anything called from a condition.
step() {
  local name=$1 start=$SECONDS
  shift
  set +e
  (set -e; "$@") >"$logs/$name.log" 2>&1 9>&-
  rc=$?
  set -e
  printf '%-8s %s after %d s (%s)\n' "$name" "$([ $rc -eq 0 ] && echo passed || echo "FAILED rc=$rc")" \
    $((SECONDS - start)) "$logs/$name.log"
}

# Everything in the machine runs in a mount namespace of its own: its mounts end with the check.
in_machine() {
  unshare --mount --propagation private bash -c '
    root=$1; shift
    mount -t proc proc "$root/proc"; mount --rbind /dev "$root/dev"
    mount -t sysfs sys "$root/sys"; mount -t tmpfs tmpfs "$root/tmp"
    exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb "$@"' bash "$root" "$@"
}

make_machine() {
  unshare --mount --propagation private debootstrap --variant=minbase "$release" "$root" "$mirror"
  rm -f "$root/etc/apt/sources.list"
  printf 'Types: deb\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: %s\n' \
    "$mirror" "$release" "$release" /usr/share/keyrings/debian-archive-keyring.gpg \
    >"$root/etc/apt/sources.list.d/debian.sources"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  local extra=()
  [ -n "$as_user" ] && extra=(sudo)
  in_machine bash -c "apt-get update -q && apt-get install -y -q --no-install-recommends git \
    ca-certificates ${extra[*]}"
  if [ -n "$as_user" ]; then # an ordinary user whom sudo lets install packages
    in_machine useradd --create-home --shell /bin/bash "$as_user"
    echo "$as_user ALL=(ALL) NOPASSWD: ALL" >"$root/etc/sudoers.d/$as_user"
  fi
  mkdir -p "$root$(dirname "$dir")"
  git clone -q "$repo" "$root$dir"
  if [ -n "$as_user" ]; then
    in_machine chown -R "$as_user:" "$dir"
  fi
}

run_as() { # the README's command, as the newcomer types it in the clone
  local cmd="cd $(printf '%q' "$dir") && $1"
  if [ -n "$as_user" ]; then
    in_machine su - "$as_user" -c "$cmd"
  else
    in_machine env HOME=/root CI=true bash -c "$cmd"
  fi
}

echo "Fresh Debian $release, clone in '$dir', as ${as_user:-root}: $(git -C "$repo" rev-parse --short HEAD)"
step machine make_machine
[ $rc -eq 0 ] || exit 1
status=0
step test run_as "bash scripts/test.sh"
[ $rc -eq 0 ] || status=1
tail -12 "$logs/test.log" | sed 's/^/  test: /'
step run run_as "bash scripts/run.sh"
[ $rc -eq 0 ] || status=1
tail -4 "$logs/run.log" | sed 's/^/  run: /'
echo "Fresh Debian $release: $([ $status -eq 0 ] && echo "both commands passed" || echo FAILED)"
exit $status
