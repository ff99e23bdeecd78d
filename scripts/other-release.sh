#!/usr/bin/env bash
# Runs the dev preset's whole suite (every CTest label) and clang-tidy once more, inside a Debian
# root of the other supported release: Debian 13 (trixie) on a Debian 12 machine, Debian 12
# (bookworm) on a Debian 13 one. The root is made with debootstrap and kept outside the clone, under
# /var/cache/vellora/<release> (VELLORA_RELEASE_ROOTS moves it; about 3 GB), and made anew when
# scripts/install-deps.sh changes, so that it holds exactly the project's packages. Each run copies
# in only the files whose content changed, so its build stays warm. Where no root can be had (not
# root and no password-less sudo, no Debian mirror answering) it says so in one line and exits 77.
#   bash scripts/other-release.sh [bookworm|trixie]
# VELLORA_DEBIAN_MIRROR names the mirror (scripts/debian-mirror.sh).
set -euo pipefail
export PATH=/usr/sbin:/sbin:$PATH
tree=$(cd "$(dirname "$0")/.." && pwd -P)
cd "$tree"

host=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
case $host in
  bookworm) release=trixie ;;
  trixie) release=bookworm ;;
  *) release= ;;
esac
release=${1:-$release}
skip() { echo "Debian ${release:-other release} suite: skipped, $*"; exit 77; }
case $release in
  bookworm | trixie) ;;
  '') skip "this machine runs '${host:-unknown}', not Debian 12 or 13" ;;
  *) echo "usage: other-release.sh [bookworm|trixie]" >&2; exit 2 ;;
esac

if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || skip "it needs root, or sudo without a password prompt"
  exec sudo -n --preserve-env=VELLORA_RELEASE_ROOTS,VELLORA_DEBIAN_MIRROR,CI,http_proxy,https_proxy \
    bash "$tree/scripts/other-release.sh" "$release"
fi
command -v debootstrap >/dev/null && command -v rsync >/dev/null && command -v wget >/dev/null ||
  skip "debootstrap, rsync or wget is missing (scripts/install-deps.sh installs them)"

roots=${VELLORA_RELEASE_ROOTS:-/var/cache/vellora}
root=$roots/$release
mkdir -p "$roots"
exec 9>"$roots/$release.lock"
flock -w 1800 9 || skip "another run has held $roots/$release.lock for 30 minutes"

mirror=$(bash scripts/debian-mirror.sh)
propagation=$(bash scripts/mount-propagation.sh) || exit 1
wget -q --tries=1 --timeout=20 -O /dev/null "$mirror/dists/$release/InRelease" ||
  skip "no Debian mirror answers at $mirror"

# The root is made anew when the project's package list changes: packages it no longer names go.
recipe=$(sha256sum scripts/install-deps.sh | cut -d' ' -f1)
if [ "$(cat "$root/.vellora-root" 2>/dev/null)" != "$recipe" ]; then
  echo "Debian $release suite: making its root in $root (a few minutes)"
  rm -rf --one-file-system "$root.new" "$root"
  # debootstrap mounts inside the root: in a namespace of its own, nothing stays mounted.
  if ! unshare --mount --propagation "$propagation" \
    debootstrap --variant=minbase "$release" "$root.new" "$mirror" \
    >"$roots/$release-debootstrap.log" 2>&1; then
    echo "Debian $release suite: debootstrap failed; $roots/$release-debootstrap.log says why" >&2
    exit 1
  fi
  rm -f "$root.new/etc/apt/sources.list"
  mv "$root.new" "$root"
fi
security=
[[ $mirror == */debian ]] && security="
Types: deb
URIs: ${mirror}-security
Suites: $release-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
cat >"$root/etc/apt/sources.list.d/debian.sources" <<SOURCES
Types: deb
URIs: $mirror
Suites: $release $release-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
$security
SOURCES
cp /etc/resolv.conf "$root/etc/resolv.conf"

# Only files whose content changed are written (and so rebuilt): no times are copied, since a fresh
# clone's files are all new.
mkdir -p "$root/src"
rsync --recursive --links --perms --checksum --delete --exclude=/build/ --exclude=/.git/ \
  "$tree/" "$root/src/"

echo "Debian $release suite: in $root"
# Namespaces of its own: the root's mounts, and every process the run leaves, end with it.
# shellcheck disable=SC2016
unshare --mount --propagation "$propagation" --pid --fork --kill-child bash -c '
  set -e
  root=$1 recipe=$2
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount -t sysfs sys "$root/sys"
  mount -t tmpfs tmpfs "$root/tmp"
  mount -t tmpfs tmpfs "$root/run"
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    http_proxy="${http_proxy:-}" https_proxy="${https_proxy:-}" \
    bash -c "cd /src && bash scripts/install-deps.sh && apt-get clean"
  echo "$recipe" >"$root/.vellora-root"
  exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    CI="${CI:-}" bash -c "cd /src && cmake --preset dev >/dev/null \
      && cmake --build --preset dev -j $(nproc) && ctest --preset dev \
      && bash scripts/check-tidy.sh"' bash "$root" "$recipe" 9>&-
