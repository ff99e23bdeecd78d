#!/usr/bin/env bash
# Runs the dev preset's whole suite (every CTest label) once more, inside a Debian root of the other
# supported release: Debian 13 (trixie) on a Debian 12 machine, Debian 12 (bookworm) on a Debian 13
# one. The root is made once with debootstrap and kept outside the clone, under
# /var/cache/vellora/<release> (VELLORA_RELEASE_ROOTS moves it). Each run brings its packages up to
# the project's list and copies in only the files whose content changed, so its build stays warm.
# Where no such root can be had (not root and no sudo, no Debian mirror reachable) it says so in one
# line and skips without failing.
#   bash scripts/other-release.sh [bookworm|trixie]
set -euo pipefail
cd "$(dirname "$0")/.."
tree=$PWD

host=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
case $host in
  bookworm) release=trixie ;;
  trixie) release=bookworm ;;
  *) release= ;;
esac
release=${1:-$release}
case $release in
  bookworm | trixie) ;;
  '') echo "Other release's suite: skipped, this machine runs '${host:-unknown}', not Debian 12 or 13"
      exit 0 ;;
  *) echo "usage: other-release.sh [bookworm|trixie]" >&2; exit 2 ;;
esac
skip() { echo "Debian $release suite: skipped, $*"; exit 0; }

if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || skip "it needs root or sudo"
  if ! sudo -n true 2>/dev/null; then
    [ -t 0 ] && sudo -v || skip "it needs root or sudo"
  fi
  exec sudo --preserve-env=VELLORA_RELEASE_ROOTS,CI bash "$0" "$release"
fi
command -v debootstrap >/dev/null && command -v rsync >/dev/null ||
  skip "debootstrap and rsync are missing (scripts/install-deps.sh installs them)"

roots=${VELLORA_RELEASE_ROOTS:-/var/cache/vellora}
root=$roots/$release
mkdir -p "$roots"
exec 9>"$roots/$release.lock"
flock -w 1800 9 || skip "another run has held $roots/$release.lock for 30 minutes"

# The machine's own Debian mirror, else Debian's.
mirror=$(awk '/^URIs:/ && $2 !~ /security/ { print $2; exit }
  /^deb / && $2 !~ /security/ { print $2; exit }' /etc/apt/sources.list.d/*.sources \
  /etc/apt/sources.list 2>/dev/null || true)
mirror=${mirror:-http://deb.debian.org/debian}

if [ ! -e "$root/.vellora-root" ]; then
  echo "Debian $release suite: making its root in $root (once; a few minutes)"
  rm -rf "$root.new"
  if ! debootstrap --variant=minbase "$release" "$root.new" "$mirror" \
    >"$roots/$release-debootstrap.log" 2>&1; then
    rm -rf "$root.new"
    skip "no Debian mirror reachable at $mirror ($roots/$release-debootstrap.log says why)"
  fi
  rm -f "$root.new/etc/apt/sources.list"
  cat >"$root.new/etc/apt/sources.list.d/debian.sources" <<SOURCES
Types: deb
URIs: $mirror
Suites: $release $release-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  touch "$root.new/.vellora-root"
  rm -rf "$root"
  mv "$root.new" "$root"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

# Only files whose content changed are written (and so rebuilt): no times are copied, since a fresh
# clone's files are all new.
mkdir -p "$root/src"
rsync --recursive --links --perms --checksum --delete --exclude=/build/ --exclude=/.git/ \
  "$tree/" "$root/src/"

echo "Debian $release suite: in $root"
# A mount namespace of its own: the root's mounts end with the run, whatever way it ends.
# shellcheck disable=SC2016
unshare --mount --propagation private bash -c '
  set -e
  root=$1
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount -t sysfs sys "$root/sys"
  mount -t tmpfs tmpfs "$root/tmp"
  mount -t tmpfs tmpfs "$root/run"
  exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    CI="${CI:-}" bash -c "cd /src && bash scripts/install-deps.sh && cmake --preset dev >/dev/null \
      && cmake --build --preset dev -j $(nproc) && ctest --preset dev"' bash "$root"
