# Sourced with $bed set: the environment every Wine process of the bed gets.
export HOME="$bed/home"
export XDG_RUNTIME_DIR="$bed/runtime"  # the bed's PulseAudio
export WINEPREFIX="$bed/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export DISPLAY="$(cat "$bed/display")"
unset WAYLAND_DISPLAY
