#!/usr/bin/env bash
# Runs ./test.sh as a new user would on a fresh Debian release: builds a root
# of that release with mmdebstrap (from the mirror apt already uses), clones
# this repository's committed HEAD into it and runs the README's test command
# there. Then it builds the Debian package there and installs it with
# --no-install-recommends into a second fresh root without any build tools,
# where the installed player must come up on Xvfb with a CJK font to draw its
# texts and play an MP3 and a FLAC file. Takes half an hour or more; CI does
# not run it.
#
#   scripts/check_release.sh <release> [root-dir]    e.g. trixie, bookworm
#
# The roots are kept (default /var/tmp/plovi-<release> and <root>-install) so
# that a second run starts from them; remove them to start afresh. Needs root
# (mmdebstrap, chroot).
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

install_root=$root-install
if [ ! -x "$install_root/usr/bin/Xvfb" ]; then
  rm -rf "$install_root"
  mmdebstrap --variant=apt --include=ca-certificates,xvfb,xauth,xdotool,x11-utils,fontconfig \
    "$release" "$install_root" "$mirror"
fi

mounts=()
cleanup() {
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
mount_system() {
  local r=$1 m
  for m in proc sys dev; do
    mkdir -p "$r/$m"
    case $m in
      proc) mount -t proc proc "$r/proc" ;;
      sys) mount -t sysfs sysfs "$r/sys" ;;
      dev) mount --rbind /dev "$r/dev" && mount --make-rslave "$r/dev" ;;
    esac
    mounts+=("$r/$m")
  done
  cp /etc/resolv.conf "$r/etc/resolv.conf" 2>/dev/null || true
}
mount_system "$root"
mkdir -p "$root/tmp/plovi-src"
mount --bind "$src" "$root/tmp/plovi-src"
mounts+=("$root/tmp/plovi-src")

echo "check_release: $(cat "$root/etc/debian_version") in $root, HEAD $(git -C "$src" rev-parse --short HEAD)"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 bash -c '
  set -euo pipefail
  git config --global --add safe.directory "*"
  rm -rf /root/plovi
  git clone -q /tmp/plovi-src /root/plovi
  cd /root/plovi
  ./test.sh
  rm -f build/plovi_*.deb
  (cd build && cpack -G DEB >/dev/null)
  ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=3" -ac 2 -c:a libmp3lame build/check-tone.mp3
  ffmpeg -v error -y -f lavfi -i "sine=frequency=660:duration=4" -ac 2 build/check-tone.flac
'
echo "check_release: ./test.sh passed on $release"

# The package on a system that has nothing of the build: no recommended
# packages, a fresh user, the two files bound to the first two buttons with
# Chinese names, the first played through SDL's disk driver by a click.
mount_system "$install_root"
cp "$root"/root/plovi/build/plovi_*.deb "$root"/root/plovi/build/check-tone.{mp3,flac} "$install_root/tmp/"
chroot "$install_root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 bash -c '
  set -euo pipefail
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends /tmp/plovi_*.deb >/dev/null
  fc-list :lang=zh family | grep -q . || { echo "no CJK font came with the package" >&2; exit 1; }
  home=$(mktemp -d)
  mkdir -p "$home/.config/plovi"
  printf "\"/tmp/check-tone.mp3\",\"晨曲\"\r\n\"/tmp/check-tone.flac\",\"夜曲\"\r\n" |
    iconv -f UTF-8 -t GB18030 >"$home/.config/plovi/yygj"
  Xvfb :57 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  sleep 1
  played() { # a file of the disk driver with more than silence in it
    [ -s "$1" ] && [ "$(od -An -v -tx1 -N 400000 "$1" | tr -s " " "\n" | sort -u | wc -l)" -gt 3 ]
  }
  for slot in 0 1; do
    out=$home/out$slot.raw
    DISPLAY=:57 HOME=$home SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$out plovi >"$home/log$slot" 2>&1 &
    player=$!
    window=""
    for _ in $(seq 100); do
      window=$(DISPLAY=:57 xdotool search --onlyvisible --pid "$player" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
      sleep 0.1
    done
    [ -n "$window" ] || { echo "the installed player showed no window: $(cat "$home/log$slot")" >&2; exit 1; }
    eval "$(DISPLAY=:57 xdotool getwindowgeometry --shell "$window")"
    # CmdTrack(slot): 60 + 1305 / 2 twips across, 1560 + 360 slot + 315 / 2 down.
    DISPLAY=:57 xdotool mousemove $((X + 712 * WIDTH / 1440)) $((Y + (1717 + 360 * slot) * WIDTH / 1440)) click 1
    sleep 2
    kill "$player"; wait "$player" 2>/dev/null || true
    played "$out" || { echo "the installed player played nothing from slot $slot: $(cat "$home/log$slot")" >&2; exit 1; }
  done
  echo "installed: Chinese fonts: $(fc-list :lang=zh family | sort -u | tr "\n" " ")"
'
echo "check_release: the package installs without recommends and plays an MP3 and a FLAC on $release"
