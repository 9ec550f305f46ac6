#!/bin/sh
# Builds Tallyvox and plays a file with it under Wine:
#   sh scripts/run.sh [media path] [player options]
# With no media path it plays a demo clip that it writes itself. Options such
# as /pause or /volume5000 are the player's own: with a strip already running
# they are forwarded to it. Wine runs in a prefix of its own under the build
# folder; ~/.wine is never touched.
# With no display it plays on a private virtual display with a silent sound
# device, waits for the end, saves a screenshot of the strip and cleans up.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLYVOX_BUILD:-$root/build}
bed_scripts=$root/tests/bed

# Wine reaches the Linux file system through drive Z:.
windows_path() {
    case $1 in
        /*) path=$1 ;;
        *) path=$(pwd)/$1 ;;
    esac
    printf 'Z:%s' "$path" | tr / '\\'
}

# Media paths become Windows paths; options ("/" or "-" and no such file) stay.
have_media=no
for arg do
    shift
    case $arg in
        /* | -*) is_path=no; [ ! -e "$arg" ] || is_path=yes ;;
        *) is_path=yes ;;
    esac
    if [ $is_path = yes ]; then
        arg=$(windows_path "$arg")
        have_media=yes
    fi
    set -- "$@" "$arg"
done

sh "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" --target tallyvox
exe=$build/tallyvox.exe

demo=$build/tallyvox-demo.wav
[ -f "$demo" ] || python3 "$root/scripts/make-demo.py" "$demo"
[ $have_media = yes ] || set -- "$(windows_path "$demo")" "$@"

# On a display: play there, with the user's own sound, until the strip closes.
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export WINEPREFIX="$build/run-prefix" WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    sh "$root/scripts/wine-prefix.sh"
    exec wine "$exe" "$@"
fi

# No display: a private virtual display. A run while another one is going
# uses that one's display and Wine, so its command reaches the running strip.
bed=$build/runbed
if [ -s "$bed/display" ] && DISPLAY=$(cat "$bed/display") xdpyinfo >/dev/null 2>&1; then
    . "$bed_scripts/env.sh"
    exec wine "$exe" "$@"
fi
trap 'sh "$bed_scripts/stop.sh" "$bed"' EXIT
trap 'exit 1' INT TERM
echo "No display: playing on a virtual display with a silent sound device."
sh "$bed_scripts/start.sh" "$bed"
. "$bed_scripts/env.sh"
wine "$exe" "$@" </dev/null >/dev/null 2>&1 &
player=$!

# Wine draws the strip's frame itself: the client area starts 4 pixels in and
# 23 down, and the bar's bottom row is 23 pixels into it.
geometry() { xwininfo -name Tallyvox 2>/dev/null | sed -n 's/.*Absolute upper-left \([XY]\): *\(-*[0-9]*\)/\2/p'; }
tries=0
until [ -n "$(geometry)" ]; do
    kill -0 $player 2>/dev/null || { echo "The player ended without showing its strip." >&2; exit 1; }
    tries=$((tries + 1))
    [ $tries -le 300 ] || { echo "No strip appeared." >&2; exit 1; }
    sleep 0.2
done
set -- $(geometry)
x=$1 y=$2

# The colour family of the band's bottom row: the strip is stopped (cyan,
# teal) before the file starts and again after it ended.
stopped() {
    import -window root -crop "1x1+$((x + 4))+$((y + 46))" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p' | {
            read -r r g b && [ "$r" -lt 100 ] && [ "$g" -gt 60 ] && [ "$b" -gt 60 ]
        }
}
limit=${TALLYVOX_RUN_LIMIT:-600}
waited=0
# First the clip starts (a file that cannot play never does: give up after 10 s)...
while stopped && [ $waited -lt 20 ]; do
    waited=$((waited + 1))
    sleep 0.5
done
# ...then it ends.
waited=0
until stopped; do
    [ $waited -lt $((limit * 2)) ] || { echo "Still playing after $limit s; stopping it."; break; }
    waited=$((waited + 1))
    sleep 0.5
done
sleep 0.3

shot=$build/tallyvox-strip.png
import -window root -crop "200x62+$x+$y" +repage "$shot"
echo "Screenshot of the strip: $shot"

# Close the strip as a user would (WM_CLOSE), so that the player releases its graph.
wine taskkill /im tallyvox.exe >/dev/null 2>&1 || true
tries=0
while kill -0 $player 2>/dev/null && [ $tries -lt 50 ]; do
    tries=$((tries + 1))
    sleep 0.2
done
