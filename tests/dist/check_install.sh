#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR under the prefix /usr and checks
# the installed tree: the exact file list, the programs, the chimes, the
# bin/plovi link, the desktop entry, the icons at every size, the AppStream
# metainfo and the manual pages, with desktop-file-validate, appstreamcli and
# man. On an X server (Xvfb) it runs the installed player with a fresh HOME:
# a save through its settings dialog and the pop-up started by 关于. Where
# dpkg-deb and dpkg-shlibdeps are present it also builds the Debian package
# with cpack and checks its name, fields and file list.
#
#   tests/dist/check_install.sh [build-dir]      (default: build)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
need() {
  command -v "$1" >/dev/null || { echo "check_install: $1 is missing (scripts/setup.sh installs it)" >&2; exit 1; }
}
need desktop-file-validate
need appstreamcli
need man

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
private=$(cache PLOVI_INSTALL_PRIVATEDIR)
[ -n "$private" ] || { echo "check_install: $build is not a configured build" >&2; exit 1; }
case $private in /*) private=${private#/usr/} ;; esac

DESTDIR=$tmp/root cmake --install "$build" --prefix /usr >"$tmp/install.log" ||
  { cat "$tmp/install.log" >&2; exit 1; }
usr=$tmp/root/usr

# Every file and link under /usr, nothing more: no yygj, no build leftovers.
expected=$(sort <<EOF2
bin/plovi
$private/Plovi
$private/Nobix
$private/Tarvel
$private/plovi-ffmpeg.so
$private/msgcome.wav
$private/buddycome.wav
$private/plovi.installed
share/applications/plovi.desktop
share/metainfo/io.github.plovi.Plovi.metainfo.xml
share/icons/hicolor/16x16/apps/plovi.png
share/icons/hicolor/32x32/apps/plovi.png
share/icons/hicolor/48x48/apps/plovi.png
share/icons/hicolor/128x128/apps/plovi.png
share/icons/hicolor/256x256/apps/plovi.png
share/man/man1/plovi.1.gz
share/man/zh_CN/man1/plovi.1.gz
share/doc/plovi/player.png
share/doc/plovi/nobix.png
share/doc/plovi/tarvel.png
share/doc/plovi/copyright
share/doc/plovi/changelog.gz
EOF2
)
installed=$(cd "$usr" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)
[ "$installed" = "$expected" ] ||
  fail "installed files differ from the expected list:$(diff <(echo "$expected") <(echo "$installed") | sed 's/^/  /')"
[ "$(find "$tmp/root" -mindepth 1 -maxdepth 1)" = "$usr" ] || fail "files outside the prefix"

for p in Plovi Nobix Tarvel; do
  [ -x "$usr/$private/$p" ] || fail "$private/$p is not executable"
  [ "$(head -c 4 "$usr/$private/$p" | od -An -c | tr -d ' ')" = '177ELF' ] || fail "$private/$p is no program"
done
for w in msgcome.wav buddycome.wav; do
  cmp -s "$src/assets/delivered/$w" "$usr/$private/$w" || fail "$private/$w differs from assets/delivered/$w"
done

link=$usr/bin/plovi
if [ -L "$link" ]; then
  target=$(readlink "$link")
  case $target in /*) fail "bin/plovi points to the absolute $target" ;; esac
  [ "$(realpath "$link")" = "$(realpath "$usr/$private/Plovi")" ] || fail "bin/plovi leads to $(realpath "$link")"
else
  fail "bin/plovi is not a link"
fi

# PNG: 8-byte signature, IHDR length and type, then width and height.
for n in 16 32 48 128 256; do
  icon=$usr/share/icons/hicolor/${n}x${n}/apps/plovi.png
  header=$(od -An -tx1 -N24 "$icon" | tr -d ' \n')
  [ "${header:0:16}" = 89504e470d0a1a0a ] || fail "$icon is not a PNG"
  [ "$((16#${header:32:8}))x$((16#${header:40:8}))" = "${n}x${n}" ] ||
    fail "$icon is $((16#${header:32:8}))x$((16#${header:40:8})), not ${n}x${n}"
done

desktop=$usr/share/applications/plovi.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ -e "$usr/bin/$(entry Exec)" ] || fail "the desktop entry runs $(entry Exec), which is not in bin/"
[ -e "$usr/share/icons/hicolor/48x48/apps/$(entry Icon).png" ] || fail "no icon named $(entry Icon)"
[ "$(entry StartupWMClass)" = Plovi ] || fail "StartupWMClass is not the player's window class Plovi"

metainfo=$usr/share/metainfo/io.github.plovi.Plovi.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate --no-net $metainfo"
grep -q '<launchable type="desktop-id">plovi.desktop</launchable>' "$metainfo" ||
  fail "the metainfo does not launch plovi.desktop"
grep -q '<binary>plovi</binary>' "$metainfo" || fail "the metainfo does not provide the binary plovi"
grep -q '<id>io.github.plovi.Plovi</id>' "$metainfo" || fail "the metainfo's id is not its file name"

# man prints troff's warnings (lines too long to break, unknown requests).
for page in man1/plovi.1.gz zh_CN/man1/plovi.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$usr/share/man/$page" 2>&1 >/dev/null) ||
    fail "man cannot format $page"
  [ -z "$warnings" ] || fail "man warns about $page: $warnings"
  LC_ALL=C.UTF-8 man -l "$usr/share/man/$page" 2>/dev/null | grep -q 'plovi' ||
    fail "$page shows no text"
done

# The installed player in use, on a real X server, started through the link as
# the desktop entry does, with a fresh HOME: its window class is the one
# StartupWMClass names; it starts with no records and writes nothing at start;
# a binding saved through 设置 lands in $XDG_CONFIG_HOME/plovi/yygj and nothing
# in the installed folder changes; 关于 starts the installed Nobix, which finds
# its chime (SDL's disk driver writes what it plays into a file; a pop-up that
# finds no chime opens no device and writes no file).
if command -v Xvfb >/dev/null && command -v xprop >/dev/null && command -v xdotool >/dev/null; then
  exec 3<> <(:)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  if read -r -t 10 display <&3; then
    export DISPLAY=:$display
    config=$tmp/home/.config
    mkdir -p "$tmp/home" "$tmp/cwd"
    private_before=$(cd "$usr/$private" && ls -l --time-style=+%s.%N)
    (cd "$tmp/cwd" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$tmp/chime.raw QT_QPA_PLATFORM=xcb \
      HOME=$tmp/home XDG_CONFIG_HOME=$config exec "$link") >"$tmp/player.log" 2>&1 &
    player=$!
    # The topmost visible window of the player other than the given one.
    window_of() {
      local w
      for w in $(xdotool search --onlyvisible --pid "$player" 2>/dev/null); do
        [ "$w" != "${1:-}" ] && { echo "$w"; return 0; }
      done
      return 1
    }
    wait_window() {
      local w
      for _ in $(seq 300); do
        w=$(window_of "${1:-}") && { echo "$w"; return 0; }
        sleep 0.1
      done
      return 1
    }
    # Clicks at a point given in twips from a window's top left corner, scaled
    # by the window's width against its width in twips.
    click_twips() {
      local window=$1 width_twips=$2 x=$3 y=$4 geometry
      geometry=$(xdotool getwindowgeometry --shell "$window")
      eval "$geometry"
      xdotool mousemove "$((X + x * WIDTH / width_twips))" "$((Y + y * WIDTH / width_twips))" click 1
      sleep 0.3
    }
    if form1=$(wait_window); then
      wm_class=$(xprop -id "$form1" WM_CLASS)
      [ "$wm_class" = 'WM_CLASS(STRING) = "plovi", "Plovi"' ] ||
        fail "the installed player's WM_CLASS is '$wm_class'"
      sleep 0.5
      [ ! -e "$config/plovi" ] || fail "the player wrote into $config/plovi at start"
      click_twips "$form1" 1440 217 7262 # 设置
      if form2=$(wait_window "$form1"); then
        click_twips "$form2" 8040 2930 622 # the first row's path box
        xdotool type --delay 5 "$usr/$private/msgcome.wav"
        click_twips "$form2" 8040 6442 622 # its name box
        xdotool type --delay 5 "chime"
        click_twips "$form2" 8040 1702 4417 # 保存并退出
        for _ in $(seq 300); do [ -e "$config/plovi/yygj" ] && break; sleep 0.1; done
        expected_yygj=$(printf '"%s","chime"\r\n' "$usr/$private/msgcome.wav"
          for _ in $(seq 14); do printf '"",""\r\n'; done)
        [ -f "$config/plovi/yygj" ] && [ "$(cat "$config/plovi/yygj")" = "$expected_yygj" ] ||
          fail "the saved bindings are not the one record typed on a dialog with none: $(cat -A "$config/plovi/yygj" 2>&1 | head -n 3)"
      else
        fail "设置 opened no settings dialog"
      fi
      [ "$(cd "$usr/$private" && ls -l --time-style=+%s.%N)" = "$private_before" ] ||
        fail "the installed folder changed while the player ran"
      click_twips "$form1" 1440 547 7262 # 关于
      nobix=""
      for _ in $(seq 300); do
        for exe in /proc/[0-9]*/exe; do
          [ "$(readlink "$exe" 2>/dev/null)" = "$usr/$private/Nobix" ] && nobix=${exe//[^0-9]/}
        done
        [ -n "$nobix" ] && break
        sleep 0.1
      done
      if [ -n "$nobix" ]; then
        for _ in $(seq 300); do kill -0 "$nobix" 2>/dev/null || break; sleep 0.1; done
        kill "$nobix" 2>/dev/null && fail "the installed Nobix did not end by itself"
        [ -s "$tmp/chime.raw" ] && [ "$(od -An -v -tx1 "$tmp/chime.raw" | tr -s ' ' '\n' | sort -u | wc -l)" -gt 3 ] ||
          fail "the installed Nobix played no chime"
      else
        fail "关于 did not start the installed Nobix"
      fi
    else
      fail "the installed player showed no window: $(cat "$tmp/player.log")"
    fi
    kill "$player" 2>/dev/null || true
    wait "$player" 2>/dev/null || true
    unset DISPLAY
  else
    fail "Xvfb did not start"
  fi
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  exec 3>&-
else
  echo "check_install: no Xvfb, xprop or xdotool: the installed player is not run"
fi

# ---- The Debian package ------------------------------------------------------
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
  version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
  deb_name=plovi_${version}_$(dpkg --print-architecture).deb
  (cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/package" >"$tmp/cpack.log" 2>&1) ||
    { cat "$tmp/cpack.log" >&2; exit 1; }
  deb=$tmp/package/$deb_name
  if [ -f "$deb" ]; then
    field() { dpkg-deb -f "$deb" "$1"; }
    [ "$(field Package)" = plovi ] || fail "package name $(field Package)"
    [ "$(field Section)" = sound ] || fail "section $(field Section)"
    [ -n "$(field Maintainer)" ] || fail "no maintainer"
    # The packages that hold the libraries the programs link, as this release
    # names them (libavformat59 on Debian 12, libavformat61 on 13, ...), and
    # SDL, which the player loads at run time.
    depends_on() { field Depends | tr ',|' '\n\n' | awk '{print $1}' | grep -xF "$1" >/dev/null; }
    libs=$(for p in Plovi Nobix Tarvel plovi-ffmpeg.so; do
      readelf -d "$build/bin/$p" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
    done | sort -u)
    for lib in $libs; do
      # (awk reads all of its input: an early exit would end ldconfig with
      # SIGPIPE, a failure under pipefail)
      path=$(ldconfig -p | awk -v l="$lib" '$1 == l && !n++ {print $NF}')
      [ -n "$path" ] || continue
      owner=$(dpkg -S "$(realpath "$path")" "$path" 2>/dev/null | awk -F: '!n++ {print $1}') || true
      [ -n "$owner" ] || { fail "no package holds $path (for $lib)"; continue; }
      depends_on "$owner" || fail "Depends lacks $owner (for $lib): $(field Depends)"
    done
    for lib in libsdl2-2.0-0 libc6; do
      depends_on "$lib" || fail "Depends lacks $lib: $(field Depends)"
    done
    # Every text is Chinese: a CJK font is required, Qt's translations recommended.
    field Depends | grep -qE '(^|, )fonts-arphic-uming \|' || fail "Depends lacks a CJK font: $(field Depends)"
    field Recommends | grep -q '\bqt6-translations-l10n\b' || fail "Recommends lacks qt6-translations-l10n: $(field Recommends)"
    contents=$(dpkg-deb -c "$deb")
    files=$(awk '$1 !~ /^d/ {print $6}' <<<"$contents" | sed 's|^\./usr/||' | sort)
    [ "$files" = "$expected" ] ||
      fail "the package's files differ:$(diff <(echo "$expected") <(echo "$files") | sed 's/^/  /')"
    awk '$2 != "root/root" {exit 1}' <<<"$contents" || fail "files in the package not owned by root"
    grep -qF "./usr/bin/plovi -> ../$private/Plovi" <<<"$contents" ||
      fail "bin/plovi in the package is not the link ../$private/Plovi"
    dpkg-deb -x "$deb" "$tmp/unpacked"
    for p in Plovi Nobix Tarvel; do
      if command -v readelf >/dev/null && readelf -S "$tmp/unpacked/usr/$private/$p" | grep -q '\.debug_info'; then
        fail "$p in the package is not stripped"
      fi
    done
    # Debian's own checks, at lintian's default level: no error, no warning.
    if command -v lintian >/dev/null; then
      report=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $report"
    fi
  else
    fail "cpack made no $deb_name: $(ls "$tmp/package")"
  fi
else
  echo "check_install: no dpkg-deb or dpkg-shlibdeps: the Debian package is not checked"
fi

if ((failures)); then
  echo "check_install: $failures check(s) failed" >&2
  exit 1
fi
echo "check_install: the installed tree is complete and valid"
