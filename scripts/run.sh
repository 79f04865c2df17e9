#!/usr/bin/env bash
# Installs what is missing, builds Zorvik (Release, with the Qt program) into build/ and starts it.
# Without a desktop (no DISPLAY) it starts on a virtual display with a window manager and a tray
# host, so it still runs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup-deps.sh
source scripts/build-options.sh
cmake -S . -B build -G Ninja "${RUN_BUILD_OPTIONS[@]}"
cmake --build build --target zorvik stage_app -j "$(nproc)"

if [[ -z "${DISPLAY:-}" ]]; then
    echo "run.sh: no DISPLAY; starting Zorvik on a virtual display (Xvfb) with a tray host (trayer)"
    displayfd=$(mktemp)
    Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$displayfd" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 50); do [[ -s "$displayfd" ]] && break; sleep 0.1; done
    export DISPLAY=":$(tr -dc 0-9 <"$displayfd")"
    rm -f "$displayfd"
    # A window manager gives the settings window its title bar, and a tray host shows the icon.
    openbox >/dev/null 2>&1 &
    openbox=$!
    trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
        --transparent false >/dev/null 2>&1 &
    trayer=$!
    trap 'kill "$trayer" "$openbox" "$xvfb" 2>/dev/null' EXIT
    echo "run.sh: display $DISPLAY (screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
    build/app/zorvik
else
    exec build/app/zorvik
fi
