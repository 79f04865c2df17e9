#!/bin/bash
# The hosts-file merge against `sort -u` of the same names, same machine, same run.
#
#   bench/hostsbuild/run.sh [build folder] [rounds]
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../../build}" && pwd)
ROUNDS=${2:-7}
BENCH="$BUILD/bench/hostsbuild/hostsbuild_bench"

command -v sort >/dev/null || { echo "sort is not installed" >&2; exit 1; }
if [[ ! -x "$BENCH" ]]; then
    cmake --build "$BUILD" --target hostsbuild_bench
fi
exec "$BENCH" "$ROUNDS"
