#!/usr/bin/env bash
# Installs what the project needs on Debian 12 or 13 (only what is missing),
# then configures and builds it in ./build. Safe to run again. Arguments go to
# CMake's configure step (test.sh passes -DPLOVI_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ clang clang-format-19 libclang-rt-dev pkg-config file
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsdl2-dev libmpg123-dev libavformat-dev libavcodec-dev libswresample-dev libfontconfig-dev
  libebur128-dev
  libbenchmark-dev
  fonts-wqy-zenhei fonts-arphic-uming
  qt6-translations-l10n locales libc-l10n
  xvfb xauth xdotool libx11-dev openbox wmctrl x11-utils
  pulseaudio pulseaudio-utils pipewire pipewire-bin wireplumber pipewire-pulse dbus-daemon tint2
  ffmpeg python3-fuse fuse3 libebur128-dev
  desktop-file-utils appstream dpkg-dev man-db lintian
)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build
