#!/bin/bash
# Peak memory and time of a start's reads of a list file and a settings file that hold a real
# list or a few settings followed by blank lines: within the size limit (15 MB) and beyond it
# (50 MB, refused). Memory must follow the content, not the count of blank lines.
#
#   bench/listload/blank-lines.sh [build folder]
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=${1:-$HERE/../../build}
if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -S "$HERE/../.." -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVERN_GUI=OFF
fi
cmake --build "$BUILD" --target listload_blank
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT

make_files() {  # $1 = megabytes of blank lines
    python3 - "$DIR" "$1" <<'PY'
import sys
folder, mb = sys.argv[1], int(sys.argv[2])
blank = "\n" * (mb * 1000 * 1000)
with open(f"{folder}/zorvikhosts.ini", "w") as f:
    f.write("[DomainCount]\nN=3\n[Domains]\nD0=a.example\nD1=b.example\nD2=c.example\n" + blank)
with open(f"{folder}/zorvik.ini", "w") as f:
    f.write("[Settings]\nbMinimized=True\n" + blank + "bStartup=True\n")
PY
}

for mb in 0 15 50; do
    make_files "$mb"
    /usr/bin/time -f "%M KB peak, %e s" -o "$DIR/time.txt" \
        "$BUILD/bench/listload/listload_blank" "$DIR/zorvikhosts.ini" "$DIR/zorvik.ini"
    echo "  ${mb} MB of blank lines: $(cat "$DIR/time.txt")"
done
