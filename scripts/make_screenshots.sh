#!/usr/bin/env bash
# Takes the screenshots committed under dist/screenshots/: the player with a
# few bound tracks, and the two pop-ups at the moment they have unrolled.
# Runs the already-built programs of a build folder on a private Xvfb screen
# (no window manager, silent audio) and crops each window out of the screen.
# Needs Xvfb, xdotool, xwininfo (x11-utils), ImageMagick's import and iconv.
#
#   scripts/make_screenshots.sh [build-dir] [output-dir]
#   (defaults: build, dist/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-dist/screenshots}
for tool in Xvfb xdotool xwininfo import iconv; do
  command -v "$tool" >/dev/null || { echo "make_screenshots: $tool is missing" >&2; exit 1; }
done
for p in Plovi Nobix Tarvel; do
  [ -x "$build/bin/$p" ] || { echo "make_screenshots: build $build/bin/$p first" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A copy of the programs of our own, so the build's yygj stays untouched.
cp "$build"/bin/{Plovi,Nobix,Tarvel,msgcome.wav,buddycome.wav} "$work/"
printf '"/home/li/音乐/春江花月夜.mp3","春江花月夜"\r\n"/home/li/音乐/茉莉花.mp3","茉莉花"\r\n' \
  | iconv -f UTF-8 -t GB18030 >"$work/yygj"
printf '"/home/li/音乐/渔舟唱晚.mp3","渔舟唱晚"\r\n"/home/li/音乐/高山流水.mp3","高山流水"\r\n' \
  | iconv -f UTF-8 -t GB18030 >>"$work/yygj"
printf '"/home/li/音乐/night.mp3","Night Train"\r\n' | iconv -f UTF-8 -t GB18030 >>"$work/yygj"
for _ in $(seq 6 15); do printf '"",""\r\n'; done >>"$work/yygj"

# A free display number from Xvfb itself.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -t 10 display <&3 || { echo "make_screenshots: Xvfb did not start" >&2; exit 1; }
exec 3>&-
export DISPLAY=:$display SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

# Geometry "WxH+X+Y" of a window.
geometry() {
  local info
  info=$(xwininfo -id "$1")
  local x y w h
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  w=$(awk '/Width:/ {print $2}' <<<"$info")
  h=$(awk '/Height:/ {print $2}' <<<"$info")
  echo "${w}x${h}+${x}+${y}"
}

# The visible window of a process whose geometry has not changed for half a
# second (a pop-up has finished unrolling), within 10 s.
settled_window() {
  local pid=$1 last="" same=0 win geo
  for _ in $(seq 100); do
    sleep 0.1
    win=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | tail -n 1) || true
    [ -n "$win" ] || continue
    geo=$(geometry "$win")
    if [ "$geo" = "$last" ]; then
      same=$((same + 1))
      if ((same >= 5)); then
        echo "$geo"
        return 0
      fi
    else
      same=0
      last=$geo
    fi
  done
  return 1
}

shoot() { # program output-name
  "$work/$1" &
  local pid=$!
  pids+=("$pid")
  local geo
  geo=$(settled_window "$pid") || { echo "make_screenshots: no window from $1" >&2; exit 1; }
  import -window root -crop "$geo" +repage "$out/$2.png"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "$out/$2.png ($geo)"
}

shoot Plovi player
shoot Nobix nobix
shoot Tarvel tarvel
