#!/bin/bash
# Loading a 32767-entry list file with ListFiles::readArray against Python's configparser reading
# the same file, same machine, same run.
#
#   bench/listload/run.sh [build folder] [rounds]
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=${1:-$HERE/../../build}
ROUNDS=${2:-7}

command -v python3 >/dev/null || { echo "python3 is not installed" >&2; exit 1; }
if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -S "$HERE/../.." -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVERN_GUI=OFF
fi
cmake --build "$BUILD" --target listload_bench
exec "$BUILD/bench/listload/listload_bench" "$ROUNDS"
