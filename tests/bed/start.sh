#!/bin/sh
# Brings up the Wine test bed in $1: a private prefix and HOME, an ALSA null
# device for DirectShow's audio renderer, a private Xvfb display and a
# persistent wineserver. stop.sh takes all of it down again.
set -eu
bed=$1
mkdir -p "$bed/home"
# Wine's audio renderer needs a device; the null PCM is one that plays nowhere.
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' > "$bed/home/.asoundrc"

if [ -s "$bed/display" ] && xdpyinfo -display "$(cat "$bed/display")" >/dev/null 2>&1; then
    :
else
    rm -f "$bed/display" "$bed/display.new"
    # Xvfb picks a free display number and writes it to fd 3.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$bed/display.new" </dev/null >/dev/null 2>&1 &
    echo $! > "$bed/xvfb.pid"
    tries=0
    until [ -s "$bed/display.new" ]; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "Xvfb did not start" >&2; exit 1; }
        sleep 0.1
    done
    echo ":$(tr -d '\n' < "$bed/display.new")" > "$bed/display"
    rm -f "$bed/display.new"
fi

. "$(dirname "$0")/env.sh"
# Made on first use; fonts and the bed's settings also reach a prefix made before.
sh "$(dirname "$0")/../../scripts/wine-prefix.sh" --bed
setsid wineserver -p </dev/null >/dev/null 2>&1 || true
# Start Wine's own services here, away from CTest's pipes: started by a test
# they would hold its output open and CTest would wait for them.
setsid wineboot </dev/null >/dev/null 2>&1 || true
