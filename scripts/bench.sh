#!/bin/sh
# Builds Tallyvox with its benchmark programs in build-bench, brings up a
# private Wine bed, and prints how tallyvox.exe compares with minimal programs
# doing the same work. Takes the bed down again, also on failure.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLYVOX_BENCH_BUILD:-$root/build-bench}
sh "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DTALLYVOX_TESTS=OFF -DTALLYVOX_BENCH=ON >/dev/null
cmake --build "$build"
bed=$build/benchbed
trap 'sh "$root/tests/bed/stop.sh" "$bed"' EXIT
trap 'exit 130' INT TERM
sh "$root/tests/bed/start.sh" "$bed"
python3 "$root/bench/bench.py" "$build" "$bed"
