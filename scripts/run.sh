#!/usr/bin/env bash
# Installs what is missing, builds Zorvik (Release, with the Qt program) into build/ and starts it.
#
# Run through sudo, Zorvik runs as the user who called sudo: this sets up the privileged helper
# from the build tree (systemd units in /run/systemd/system where systemd runs, else the helper
# started directly), puts that user in the zorvik group and starts Zorvik as them; the helper
# and its units go again when Zorvik exits. Run as plain root, Zorvik runs as root and does the
# privileged work itself. Without a desktop (no DISPLAY) it starts on a virtual display with a
# window manager and a tray host, so it still runs.
#
#     bash scripts/run.sh [--dry-run]
#
# --dry-run builds nothing and changes nothing: it prints each step it would take.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

dry=0
if [[ ${1:-} == --dry-run ]]; then
    dry=1
elif (($# > 0)); then
    echo "Usage: bash scripts/run.sh [--dry-run]" >&2
    exit 2
fi

say() { echo "run.sh: $*"; }

# Runs a command, or only prints it with --dry-run.
step() {
    if ((dry)); then
        printf 'run.sh: would run:'
        printf ' %q' "$@"
        printf '\n'
    else
        "$@"
    fi
}

readonly socket=/run/zorvik-helper.sock
readonly units=/run/systemd/system
helper=$PWD/build/app/zorvik-helper
cleanups=()
cleanup() {
    local i
    for ((i = ${#cleanups[@]} - 1; i >= 0; i--)); do
        eval "${cleanups[i]}" || true
    done
}
trap cleanup EXIT

step bash scripts/setup-deps.sh
source scripts/build-options.sh
step cmake -S . -B build -G Ninja "${RUN_BUILD_OPTIONS[@]}"
targets=(zorvik stage_app)
if [[ -f helper/CMakeLists.txt ]]; then
    targets+=(zorvik-helper)
fi
step cmake --build build --target "${targets[@]}" -j "$(nproc)"

# Who Zorvik runs as: the user who called sudo, else whoever runs this.
user=
if [[ $(id -u) -eq 0 && -n ${SUDO_USER:-} && $SUDO_USER != root ]]; then
    user=$SUDO_USER
fi

# The helper as systemd runtime units (gone at the next boot, and removed again at exit): the
# packaged units with the build tree's helper, which may live under /home.
start_helper_units() {
    say "installing the helper's units in $units (ExecStart=$helper)"
    if ((dry)); then
        return
    fi
    sed -e "s|@ZORVIK_HELPER_EXEC@|$helper|" -e 's|^ProtectHome=yes$|ProtectHome=read-only|' \
        packaging/zorvik-helper.service.in >"$units/zorvik-helper.service"
    cp packaging/zorvik-helper.socket "$units/zorvik-helper.socket"
    cleanups+=("rm -f $units/zorvik-helper.service $units/zorvik-helper.socket; systemctl daemon-reload")
    systemctl daemon-reload
    cleanups+=("systemctl stop zorvik-helper.socket zorvik-helper.service")
    systemctl start zorvik-helper.socket
}

# The helper as a process of this script, stopped when Zorvik exits.
start_helper_directly() {
    say "starting $helper (no systemd here); it stops when Zorvik exits"
    if ((dry)); then
        return
    fi
    "$helper" &
    local pid=$!
    cleanups+=("kill $pid; wait $pid")
    for _ in $(seq 100); do
        [[ -S $socket ]] && return
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    say "the helper did not open $socket" >&2
    exit 1
}

setup_helper() {
    if ! getent group zorvik >/dev/null; then
        step groupadd --system zorvik
    fi
    if ! id -nG "$user" | tr ' ' '\n' | grep -qx zorvik; then
        step usermod --append --groups zorvik "$user"
        ((dry)) || say "$user is now in the zorvik group (other programs see it from their next login)"
    fi
    if [[ ! -x $helper ]] && ((!dry)); then
        say "no $helper in this build: Zorvik runs without ad-server blocking" >&2
    elif [[ -S $socket ]] && ((!dry)); then
        say "a helper already listens on $socket (the installed package?): Zorvik uses it"
    elif [[ -d $units ]]; then
        start_helper_units
    else
        start_helper_directly
    fi
}

# How Zorvik and the virtual display start: as the user (with the zorvik group, which a new
# membership only gives after a new login) or as this process.
as_user=()
if [[ -n $user ]]; then
    setup_helper
    uid=$(id -u "$user")
    home=$(getent passwd "$user" | cut -d: -f6)
    runtime=${XDG_RUNTIME_DIR:-}
    if [[ -z $runtime || $runtime == /run/user/0 ]]; then
        runtime=/run/user/$uid
    fi
    env_vars=(HOME="$home" USER="$user" LOGNAME="$user" PATH="/usr/local/bin:/usr/bin:/bin"
        LANG="${LANG:-C.UTF-8}" ZORVIK_HELPER_SOCKET="$socket")
    [[ -d $runtime ]] && env_vars+=(XDG_RUNTIME_DIR="$runtime")
    [[ -n ${XAUTHORITY:-} ]] && env_vars+=(XAUTHORITY="$XAUTHORITY")
    if [[ -n ${DBUS_SESSION_BUS_ADDRESS:-} ]]; then
        env_vars+=(DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS")
    elif [[ -S $runtime/bus ]]; then
        env_vars+=(DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus")
    fi
    as_user=(setpriv --reuid="$uid" --regid="$(id -g "$user")" --init-groups env -i "${env_vars[@]}")
    say "Zorvik runs as $user; zorvik-helper (root) writes /etc/hosts and listens on port 80"
    if ((!dry)) && ! "${as_user[@]}" test -x build/app/zorvik; then
        say "$user cannot run $PWD/build/app/zorvik: give them access to this folder" >&2
        exit 1
    fi
elif [[ $(id -u) -eq 0 ]]; then
    say "running as root with no invoking user: Zorvik runs as root and writes /etc/hosts and listens on port 80 itself, without the helper"
else
    say "running as $(id -un): Zorvik needs a running zorvik-helper (the installed package) and the zorvik group, or run this through sudo"
fi

if [[ -z ${DISPLAY:-} ]]; then
    say "no DISPLAY; starting Zorvik on a virtual display (Xvfb) with a tray host (trayer)"
    if ((dry)); then
        step "${as_user[@]}" build/app/zorvik
        exit 0
    fi
    displayfd=$(mktemp)
    "${as_user[@]}" Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$displayfd" 2>/dev/null &
    cleanups+=("kill $!")
    for _ in $(seq 50); do [[ -s $displayfd ]] && break; sleep 0.1; done
    DISPLAY=":$(tr -dc 0-9 <"$displayfd")"
    export DISPLAY
    rm -f "$displayfd"
    [[ -n $user ]] && as_user+=(DISPLAY="$DISPLAY")
    # A window manager gives the settings window its title bar, and a tray host shows the icon.
    "${as_user[@]}" openbox >/dev/null 2>&1 &
    cleanups+=("kill $!")
    "${as_user[@]}" trayer --edge top --align right --widthtype request --height 24 \
        --SetDockType true --transparent false >/dev/null 2>&1 &
    cleanups+=("kill $!")
    say "display $DISPLAY (screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
elif [[ -n $user ]]; then
    as_user+=(DISPLAY="$DISPLAY")
fi

# Not exec: the helper and the display this script started go when Zorvik ends.
step "${as_user[@]}" build/app/zorvik
