#!/usr/bin/env bash
# Runs ./test.sh as a new user would on a fresh Debian release: builds a root
# of that release with mmdebstrap (from the mirror apt already uses), clones
# this repository's committed HEAD into it and runs the README's test command
# there. Takes half an hour or more; CI does not run it.
#
#   scripts/check_release.sh <release> [root-dir]    e.g. trixie, bookworm
#
# The root is kept (default /var/tmp/plovi-<release>) so that a second run
# starts from it; remove it to start afresh. Needs root (mmdebstrap, chroot).
set -euo pipefail
release=${1:?usage: scripts/check_release.sh <release> [root-dir]}
root=${2:-/var/tmp/plovi-$release}
src=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "check_release: run as root (mmdebstrap and chroot need it)" >&2; exit 1; }
command -v mmdebstrap >/dev/null || {
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap
}

# The mirror of the first deb.debian.org-style source apt uses here.
mirror=$(apt-get indextargets --format '$(REPO_URI)' 2>/dev/null | grep -v security | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian/}

if [ ! -x "$root/usr/bin/git" ]; then
  rm -rf "$root"
  mmdebstrap --variant=apt --include=ca-certificates,git,sudo "$release" "$root" "$mirror"
fi

mounts=()
cleanup() {
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
for m in proc sys dev; do
  mkdir -p "$root/$m"
  case $m in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs sysfs "$root/sys" ;;
    dev) mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev" ;;
  esac
  mounts+=("$root/$m")
done
mkdir -p "$root/tmp/plovi-src"
mount --bind "$src" "$root/tmp/plovi-src"
mounts+=("$root/tmp/plovi-src")
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

echo "check_release: $(cat "$root/etc/debian_version") in $root, HEAD $(git -C "$src" rev-parse --short HEAD)"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 bash -c '
  set -euo pipefail
  git config --global --add safe.directory "*"
  rm -rf /root/plovi
  git clone -q /tmp/plovi-src /root/plovi
  cd /root/plovi
  ./test.sh
'
echo "check_release: ./test.sh passed on $release"
