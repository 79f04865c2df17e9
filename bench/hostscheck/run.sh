#!/bin/bash
# zorvik-helper's check of a hosts file of 4 million blocked names against one `grep -c` pass
# over the same file, same machine, same run.
#
#   bench/hostscheck/run.sh [build folder] [rounds]
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../../build}" && pwd)
ROUNDS=${2:-3}
BENCH="$BUILD/bench/hostscheck/hostscheck_bench"

command -v grep >/dev/null || { echo "grep is not installed" >&2; exit 1; }
if [[ ! -x "$BENCH" ]]; then
    cmake --build "$BUILD" --target hostscheck_bench
fi
exec "$BENCH" "$ROUNDS"
