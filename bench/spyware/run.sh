#!/bin/bash
# The spyware scan (one walk of /proc, then 1000 names through the matcher) against `pgrep -x`
# once per name, on the same real processes, same run.
#
#   bench/spyware/run.sh [build folder] [rounds] [processes] [pgrep sample]
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../../build}" && pwd)
ROUNDS=${2:-3}
PROCESSES=${3:-1000}
SAMPLE=${4:-1000}
BENCH="$BUILD/bench/spyware/spyware_bench"

command -v pgrep >/dev/null || { echo "pgrep is not installed (procps)" >&2; exit 1; }
if [[ ! -x "$BENCH" ]]; then
    cmake --build "$BUILD" --target spyware_bench
fi
exec "$BENCH" "$ROUNDS" "$PROCESSES" "$SAMPLE"
