#!/usr/bin/env bash
# The whole test run: installs what is missing, builds and tests build/ (unit, Linux backends, Qt
# views, fuzz targets) and makes and checks its Debian package, builds and tests build-asan/ under
# AddressSanitizer and UBSan, checks that includes point down the layers, checks the formatting of
# every C++ source, runs clang-tidy over the project's own sources, and runs the end-to-end suite
# against build/app/zorvik (and installs the package in a throwaway root).
# Ends with one line "N passed, M failed, K skipped" over all of it; exits 1 when anything failed.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

jobs=$(nproc)
passed=0
failed=0
skipped=0
report=()
log_dir=$(mktemp -d /tmp/halvern-test.XXXXXX)
trap 'rm -rf "$log_dir"' EXIT
started=$SECONDS

note() { report+=("$(printf '%-28s %s' "$1" "$2")"); }

# Runs a command with a virtual display when there is none: the Qt view tests need one.
with_display() {
    if [[ -n "${DISPLAY:-}" ]]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
    fi
}

build() { # build-dir, cmake options...
    local dir=$1
    shift
    local t=$SECONDS
    # Keep going past a failing target, so every test that does build still runs.
    if cmake -S . -B "$dir" -G Ninja "$@" && cmake --build "$dir" -j "$jobs" -- -k 0; then
        note "build $dir" "ok ($((SECONDS - t)) s)"
        return 0
    fi
    failed=$((failed + 1))
    note "build $dir" "FAILED ($((SECONDS - t)) s)"
    return 1
}

run_ctest() { # build-dir
    local dir=$1 out="$log_dir/ctest-${1//\//_}.txt" t=$SECONDS
    with_display ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600 2>&1 |
        tee "$out"
    local line total bad
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$out" | tail -n 1)
    if [[ -z $line ]]; then
        failed=$((failed + 1))
        note "ctest $dir" "FAILED: no result line ($((SECONDS - t)) s)"
        return
    fi
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    note "ctest $dir" "$((total - bad)) passed, $bad failed ($((SECONDS - t)) s)"
}

check_format() {
    local files
    mapfile -t files < <(find src app helper tests bench -type f \
        \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' \) 2>/dev/null | sort)
    if ((${#files[@]} == 0)); then
        note "clang-format" "no sources"
        return
    fi
    if clang-format --dry-run --Werror "${files[@]}"; then
        passed=$((passed + 1))
        note "clang-format" "ok (${#files[@]} files)"
    else
        failed=$((failed + 1))
        note "clang-format" "FAILED (run clang-format -i on the files above)"
    fi
}

check_layers() {
    if python3 scripts/check-layers.py; then
        passed=$((passed + 1))
        note "layer check" "ok"
    else
        failed=$((failed + 1))
        note "layer check" "FAILED (an include points up a layer, or a source is not listed)"
    fi
}

# clang-tidy with the project's .clang-tidy over its own sources, from build/'s compile commands;
# a file whose sources and includes are unchanged since an earlier run keeps that run's findings.
check_tidy() {
    local t=$SECONDS out="$log_dir/tidy.txt"
    if python3 scripts/tidy-cached.py build -j "$jobs" >"$out" 2>&1; then
        passed=$((passed + 1))
        note "clang-tidy" "ok ($(tail -n 1 "$out" | sed 's/^tidy-cached: //'); $((SECONDS - t)) s)"
    else
        grep -E '(error|warning): ' "$out" | sort -u | head -n 50
        tail -n 1 "$out"
        failed=$((failed + 1))
        note "clang-tidy" "FAILED ($((SECONDS - t)) s; findings above)"
    fi
}

# The Debian package of build/, made by CPack and checked by lintian; the end-to-end suite
# installs it.
check_package() {
    local t=$SECONDS out="$log_dir/package.txt"
    if bash scripts/check-package.sh build >"$out" 2>&1; then
        passed=$((passed + 1))
        note "package" "ok ($(basename "$(tail -n 1 "$out")"), $((SECONDS - t)) s)"
    else
        cat "$out"
        failed=$((failed + 1))
        note "package" "FAILED ($((SECONDS - t)) s; findings above)"
    fi
}

run_e2e() {
    local out="$log_dir/e2e.txt" t=$SECONDS line
    # Two at a time: each test has its own namespaces, display and program copy.
    python3 e2e/run.py --app build/app -j 2 2>&1 | tee "$out"
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$out" | tail -n 1)
    if [[ -z $line ]]; then
        failed=$((failed + 1))
        note "e2e" "FAILED: no result line ($((SECONDS - t)) s)"
        return
    fi
    passed=$((passed + $(sed -E 's/^([0-9]+) passed.*/\1/' <<<"$line")))
    failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
    if [[ $line =~ ([0-9]+)\ skipped ]]; then
        skipped=$((skipped + BASH_REMATCH[1]))
    fi
    note "e2e" "$line ($((SECONDS - t)) s)"
}

if ! bash scripts/setup-deps.sh; then
    echo "0 passed, 1 failed"
    exit 1
fi

# A compiler cache when one is installed, kept in the user's cache folder: a later run on this
# machine, in any clone, compiles only what changed.
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}
    export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
    export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-10G}
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi

# build/ is the run command's own configuration (and its program is what the end-to-end suite runs).
source scripts/build-options.sh
build build "${RUN_BUILD_OPTIONS[@]}" -DHALVERN_FUZZ=ON
run_ctest build
check_package
build build-asan -DCMAKE_BUILD_TYPE=Debug -DHALVERN_SANITIZE=ON -DHALVERN_GUI=ON
run_ctest build-asan
check_layers
check_format
check_tidy
run_e2e # reports every test as failed when build/app/zorvik is missing

echo
echo "== summary ($((SECONDS - started)) s)"
printf '%s\n' "${report[@]}"
echo "$passed passed, $failed failed, $skipped skipped"
((failed == 0))
