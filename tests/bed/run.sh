#!/bin/sh
# Runs one Windows program under Wine in the test bed; CTest's emulator.
bed=${TALLYVOX_BED:?TALLYVOX_BED names the test bed folder}
. "$(dirname "$0")/env.sh"
exec wine "$@"
