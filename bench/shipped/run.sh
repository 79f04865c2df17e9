#!/bin/bash
# Benchmarks of the shipped program (build/app/zorvik), started as a user starts it, each beside
# a peer in the same run, in private mount and network namespaces with a copy of /etc over /etc,
# the loopback device up, an Xvfb display with a tray host and a copy of the program folder whose
# settings say "not the first start":
#
#   web      wrk -t2 -c50 -H 'Connection: close' on 127.0.0.1:80 beside nginx's empty_gif (one
#            worker) and the separate bench server: requests/s and requests per server CPU-second,
#            with zorvik's window hidden in the tray, then shown
#   hosts    phase 2 of the start (the 2.5 s start timer fired) to the complete /etc/hosts built
#            from 170,000 default + 5,000 user + 1,000 allowed names over a 10,000-line hosts
#            file, beside `LC_ALL=C sort -u` of the same names
#   startup  process start to the settings window mapped, beside a minimal Qt Widgets program
#            and xmessage
#   idle     CPU over a quiet minute and resident memory, beside the minimal Qt program (idle,
#            and woken at the title scan's rhythm), with 50 windows open under openbox; the X
#            server's CPU before and while zorvik runs
#
#   bench/shipped/run.sh [web|hosts|startup|idle|all] [options of shipped.py ...]
#
# With --user, zorvik runs as an unprivileged user through zorvik-helper (web: the server on the
# socket the helper hands over; startup: beside the start as root).
#
# Environment: BUILD (default build/); configured with the README's run configuration when it is
# not configured yet, and brought up to date first. Needs root (for the namespaces).
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=${BUILD:-$ROOT/build}
WHAT=${1:-all}
shift || true

missing=()
for tool in unshare mount ip cp Xvfb trayer openbox xwininfo xmessage wrk nginx pgrep sort cmake ninja; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[[ -x /usr/bin/python3 ]] || missing+=(python3)
if (( ${#missing[@]} )); then
    echo "missing tools: ${missing[*]}" >&2
    echo "(bash scripts/setup-deps.sh installs them)" >&2
    exit 1
fi
if [[ $(id -u) != 0 ]]; then
    echo "run as root: the benchmarks use private mount and network namespaces" >&2
    exit 1
fi
unshare --mount --net true 2>/dev/null || {
    echo "unshare --mount --net is not permitted here" >&2
    exit 1
}

if [[ -f "$BUILD/CMakeCache.txt" ]] &&
   grep -q '^HALVERN_GUI:BOOL=OFF$' "$BUILD/CMakeCache.txt"; then
    echo "$BUILD is configured without the program (HALVERN_GUI=OFF); use a build with" \
        "-DHALVERN_GUI=ON (BUILD=...)" >&2
    exit 1
fi
# Always brought up to date, so the figures are those of the sources checked out.
if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVERN_GUI=ON
fi
cmake --build "$BUILD" --target zorvik zorvik-helper stage_app bench_qt_window placeholder_bench_server zorvik_testwindow \
    >/dev/null || { echo "building the program and the peers in $BUILD failed" >&2; exit 1; }
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$BUILD/CMakeCache.txt"; then
    echo "note: $BUILD is not a Release build; the README's run configuration is Release" >&2
fi

run_one() {
    local rc=0
    echo "== shipped zorvik: $1 =="
    unshare --mount --net --fork /usr/bin/python3 "$HERE/shipped.py" \
        --app "$BUILD/app" --build "$BUILD" "$@" || rc=$?
    echo
    return $rc
}

case "$WHAT" in
    web | hosts | startup | idle) run_one "$WHAT" "$@" ;;
    all)
        failed=()
        for bench in web hosts startup idle; do
            run_one "$bench" || failed+=("$bench")
        done
        if (( ${#failed[@]} )); then
            echo "failed: ${failed[*]}" >&2
            exit 1
        fi
        ;;
    *)
        echo "usage: $0 [web|hosts|startup|idle|all] [options]" >&2
        exit 2
        ;;
esac
