#!/bin/sh
# Takes the test bed in $1 down: every Wine process, the wineserver,
# PulseAudio, Xvfb.
bed=$(cd "$1" 2>/dev/null && pwd) || exit 0  # Wine takes only an absolute prefix
# Whatever started Wine in the prefix, and whether or not the display is up.
if [ -d "$bed/prefix" ]; then
    WINEPREFIX="$bed/prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$bed/prefix" wineserver -w 2>/dev/null || true
fi
if [ -f "$bed/pulse.pid" ]; then
    kill "$(cat "$bed/pulse.pid")" 2>/dev/null || true
    rm -f "$bed/pulse.pid"
fi
if [ -f "$bed/xvfb.pid" ]; then
    kill "$(cat "$bed/xvfb.pid")" 2>/dev/null || true
    rm -f "$bed/xvfb.pid"
fi
rm -f "$bed/display"
exit 0
