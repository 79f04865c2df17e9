#!/usr/bin/env bash
# Writes docs/screenshot.png: the settings window of the built program (build/app/zorvik), shown
# on a virtual X display with a tray host, from a copy of build/app and a throw-away home.
# Usage: docs/take-screenshot.sh [build folder] [output png]
# As root it runs in private mount and network namespaces, so the machine's /etc/hosts and port
# 80 are never touched.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$(realpath -m "${2:-$root/docs/screenshot.png}")"
title="Zorvik Popup Blocker Ad Stopper v4.2.8"

if [[ $EUID -eq 0 && -z "${ZORVIK_SHOT_INSIDE:-}" ]]; then
    exec env ZORVIK_SHOT_INSIDE=1 unshare --mount --net --fork "$0" "$build" "$out"
fi

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

if [[ -n "${ZORVIK_SHOT_INSIDE:-}" ]]; then
    mount --make-rprivate /
    cp /etc/hosts "$work/hosts"
    mount --bind "$work/hosts" /etc/hosts
    ip link set lo up 2>/dev/null || true
fi

cp -r "$build/app" "$work/app"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(tr -dc 0-9 <"$work/display")"
trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
    --transparent false >/dev/null 2>&1 &
pids+=($!)

"$work/app/zorvik" >"$work/zorvik.log" 2>&1 &
pids+=($!)
window=""
for _ in $(seq 200); do
    window="$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)"
    [[ -n "$window" ]] && break
    sleep 0.1
done
if [[ -z "$window" ]]; then
    echo "take-screenshot: the window \"$title\" did not appear" >&2
    cat "$work/zorvik.log" >&2
    exit 1
fi
sleep 1.5 # let the window paint

info="$(xwininfo -id "$window")"
x="$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")"
y="$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")"
w="$(awk '/Width:/ {print $NF}' <<<"$info")"
h="$(awk '/Height:/ {print $NF}' <<<"$info")"
import -window root "$work/root.png"
mkdir -p "$(dirname "$out")"
convert "$work/root.png" -crop "${w}x${h}+${x}+${y}" +repage "$out"
echo "take-screenshot: wrote $out (${w}x${h})"
