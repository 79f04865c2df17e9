#!/bin/bash
# One uncached walk of 50 windows by the X11 desktop against `wmctrl -l`, on a private Xvfb
# display with openbox, same machine, same run.
#
#   bench/desktop/run.sh [build folder] [windows] [rounds]
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../../build}" && pwd)
WINDOWS=${2:-50}
ROUNDS=${3:-30}
BENCH="$BUILD/bench/desktop/desktop_bench"

for tool in Xvfb openbox wmctrl; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
cmake --build "$BUILD" --target desktop_bench >/dev/null
exec "$BENCH" "$WINDOWS" "$ROUNDS"
