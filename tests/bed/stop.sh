#!/bin/sh
# Takes the test bed in $1 down: every Wine process, the wineserver,
# PulseAudio, Xvfb.
bed=$1
if [ -f "$bed/display" ]; then
    . "$(dirname "$0")/env.sh"
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
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
