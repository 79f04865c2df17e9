#!/bin/bash
# Every benchmark, each against its peer in the same run, with defaults for a 2-core machine
# (about ten minutes). Needs root for the namespaces of the shipped-program benchmarks.
#
#   bench/run.sh [build folder]      (default build/, built with the README's run configuration)
set -uo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
export BUILD=${1:-$HERE/../build}
failed=()

run() {  # title command...
    local title=$1
    shift
    echo "===== $title ====="
    "$@" || failed+=("$title")
    echo
}

run "shipped program: web, hosts, start-up, idle" "$HERE/shipped/run.sh" all
if [[ -x "$BUILD/bench/hostsbuild/hostsbuild_bench" ]] ||
   cmake --build "$BUILD" --target hostsbuild_bench >/dev/null; then
    run "hosts merge alone" "$HERE/hostsbuild/run.sh" "$BUILD"
else
    failed+=("hosts merge alone (build)")
fi
run "list file loading" "$HERE/listload/run.sh" "$BUILD"
run "helper's hosts check" "$HERE/hostscheck/run.sh" "$BUILD"

if (( ${#failed[@]} )); then
    printf 'failed or below its goal: %s\n' "${failed[@]}" >&2
    exit 1
fi
