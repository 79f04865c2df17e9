#!/bin/bash
# The title scan tick with 50 windows and 500 blocked titles, from the desktop's window cache,
# against the same tick with the per-title match cache dropped before every tick.
#
#   bench/titles/run.sh [build folder] [ticks]
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=${1:-$HERE/../../build}
TICKS=${2:-20000}

if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -S "$HERE/../.." -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVERN_GUI=OFF
fi
cmake --build "$BUILD" --target titletick_bench
exec "$BUILD/bench/titles/titletick_bench" "$TICKS"
