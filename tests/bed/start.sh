#!/bin/sh
# Brings up the Wine test bed in $1: a private prefix and HOME, a PulseAudio
# daemon with a null sink (ALSA's null device behind it), a private Xvfb
# display and a persistent wineserver. stop.sh takes all of it down again.
set -eu
mkdir -p "$1"
bed=$(cd "$1" && pwd)  # PulseAudio takes only an absolute runtime folder
mkdir -p "$bed/home/.config/pulse" "$bed/runtime"
chmod 700 "$bed/runtime"
# Wine's audio renderers need a device; the null PCM is one that plays nowhere.
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' > "$bed/home/.asoundrc"
# Media Foundation's renderer paces itself by the device's clock, which the
# null PCM lacks (a 5 s file ends in 1.3 s): a null sink plays in real time,
# and Wine takes PulseAudio over ALSA when a daemon answers. No client may
# start a daemon of its own, which would outlive the bed.
echo "autospawn = no" > "$bed/home/.config/pulse/client.conf"
# Waits up to 10 s for the file test "$1 $2" to hold; $3 names what should have made it.
await() {
    tries=0
    until [ "$1" "$2" ]; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "$3 did not start" >&2; exit 1; }
        sleep 0.1
    done
}
if ! { [ -s "$bed/pulse.pid" ] && kill -0 "$(cat "$bed/pulse.pid")" 2>/dev/null; }; then
    rm -rf "$bed/runtime/pulse"
    XDG_RUNTIME_DIR="$bed/runtime" HOME="$bed/home" setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        -L module-null-sink -L module-native-protocol-unix -L module-always-sink </dev/null >/dev/null 2>&1 &
    echo $! > "$bed/pulse.pid"
    await -S "$bed/runtime/pulse/native" PulseAudio
fi

if [ -s "$bed/display" ] && xdpyinfo -display "$(cat "$bed/display")" >/dev/null 2>&1; then
    :
else
    rm -f "$bed/display" "$bed/display.new"
    # Xvfb picks a free display number and writes it to fd 3.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$bed/display.new" </dev/null >/dev/null 2>&1 &
    echo $! > "$bed/xvfb.pid"
    await -s "$bed/display.new" Xvfb
    echo ":$(tr -d '\n' < "$bed/display.new")" > "$bed/display"
    rm -f "$bed/display.new"
fi

. "$(dirname "$0")/env.sh"
# Made on first use; fonts and the bed's settings also reach a prefix made before.
sh "$(dirname "$0")/../../scripts/wine-prefix.sh" --bed
# A test that takes GStreamer's splitter away (DirectShow as on a stock
# Windows) puts it back; should one have died first, it is put back here.
grep -qF 'Instance\\{F9D8D64E-A144-47DC-8EE0-F53498372C29}' "$WINEPREFIX/system.reg" ||
    wine regsvr32 /s winegstreamer.dll </dev/null >/dev/null 2>&1 || true
setsid wineserver -p </dev/null >/dev/null 2>&1 || true
# Start Wine's own services here, away from CTest's pipes: started by a test
# they would hold its output open and CTest would wait for them.
setsid wineboot </dev/null >/dev/null 2>&1 || true
