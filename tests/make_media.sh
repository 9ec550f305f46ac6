#!/bin/sh
# Writes the compressed files media_tests plays into folder $1: a 440 Hz tone,
# and for the videos a test pattern with it, each format its own length (the
# lengths in player_media_test.cpp's table).
set -eu
out=$1
mkdir -p "$out"
make() {  # seconds file [encoder options...]
    seconds=$1 file=$2
    shift 2
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" "$@" "$out/$file"
}
video() { echo -f lavfi -i "testsrc=size=160x120:rate=15:duration=$1"; }
make 2.2 tone.mp3 -c:a libmp3lame -b:a 64k
make 2.6 tone.m4a -c:a aac -b:a 64k
make 1.8 tone.flac -c:a flac
make 3.0 tone.opus -c:a libopus -b:a 48k
make 2.4 clip.mp4 $(video 2.4) -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -movflags +faststart
make 2.0 clip.webm $(video 2.0) -c:v libvpx -b:v 300k -c:a libvorbis
make 1.6 tone.wma -c:a wmav2 -b:a 64k
make 2.8 clip.wmv $(video 2.8) -c:v wmv2 -b:v 300k -c:a wmav2
make 2.0 tone.ogg -c:a libvorbis
# Longer videos, for the controls through Media Foundation, and one whose
# sound (DFPWM) nothing on the machine decodes, whose picture plays alone.
make 6.0 scene.mp4 $(video 6.0) -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -movflags +faststart
make 6.0 scene.webm $(video 6.0) -c:v libvpx -b:v 300k -c:a libvorbis
make 3.0 dfpwm.mkv $(video 3.0) -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a dfpwm
# Long enough for every key, full screen and back, on either framework.
make 20.0 picture.mp4 $(video 20.0) -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -movflags +faststart
