#!/bin/bash
# A full ad-data update of a 170,000-name list from a local nginx, through the list file, the
# removals and the hosts build, in the shipped program; beside curl downloading the same files
# plus `LC_ALL=C sort -u` of the names. Goal: at most 2x the peer.
#
#   bench/updates/run.sh [build] [options of updates.py: --names N --rounds R]
#
# Needs root (private mount and network namespaces), Xvfb, trayer, nginx and curl.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=${1:-$ROOT/build}
shift || true

for tool in unshare Xvfb trayer xwininfo nginx curl sort cmake; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
if [[ $(id -u) != 0 ]]; then
    echo "run as root: the benchmark uses private mount and network namespaces" >&2
    exit 1
fi
if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVERN_GUI=ON
fi
cmake --build "$BUILD" --target zorvik stage_app >/dev/null
echo "== shipped zorvik: full update =="
unshare --mount --net --fork /usr/bin/python3 "$HERE/updates.py" --app "$BUILD/app" "$@"
