#!/bin/sh
# Installs what building, running and testing Tallyvox need on Debian 12.
# Quiet and quick when everything is there already.
set -eu
# gstreamer1.0-libav decodes AAC, H.264, WMA and WMV for Wine's DirectShow, and
# ugly splits ASF (WMA, WMV); base and good cover MP3, FLAC, Opus, Vorbis and
# VP8. ffmpeg only writes the test media.
# fonts-wine has Tahoma and Marlett, IPA Gothic the Japanese glyphs Tahoma lacks.
# clang is the second compiler the test command builds the product with.
# pulseaudio gives Wine's Media Foundation a device that plays in real time.
packages="cmake ninja-build g++-mingw-w64-x86-64-posix clang googletest
  wine wine64 libasound2 gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-ugly gstreamer1.0-libav ffmpeg fonts-wine fonts-ipafont-gothic
  pulseaudio xvfb x11-utils xdotool imagemagick python3"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing="$missing $package"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
