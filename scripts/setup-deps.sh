#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing, the end-to-end suite and the benchmarks
# need. Idempotent: when everything is already installed it changes nothing and needs no network.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
    libcurl4-openssl-dev ca-certificates
    libx11-dev libx11-xcb-dev libxcb1-dev libxcb-xinput-dev libxi-dev
    # the input device's tests: keys and buttons pressed through XTest, the keymap changed
    libxtst-dev x11-xkb-utils
    # the X11 desktop: buttons of other programs pressed through the accessibility bus
    libatspi2.0-dev at-spi2-core dbus-daemon
    libcrypt-dev
    # the protected browser: its DevTools protocol read with nlohmann-json; Chromium itself for
    # the browser backend's tests and the end-to-end suite
    nlohmann-json3-dev chromium
    # unit tests, fuzzing (libFuzzer comes with clang's runtime), formatting
    libgtest-dev libgmock-dev clang-14 libclang-rt-14-dev clang-format-14 clang-tidy-14
    # transfer backend tests: a test authority's certificates made at test time
    openssl
    # end-to-end suite: a virtual display, a tray host, a window manager and X tools, namespaces,
    # loopback clients
    xvfb xauth trayer openbox x11-utils xdotool imagemagick iproute2 util-linux mount curl python3
    # its log-window tests read and press the program's widgets on the accessibility bus
    python3-gi gir1.2-atspi-2.0
    # the Debian package: its icons rendered from the SVG, its checks (CPack itself comes with
    # cmake; dpkg-shlibdeps computes its dependencies); desktop-file-validate also checks the
    # autostart entry
    librsvg2-bin dpkg-dev desktop-file-utils lintian
    # benchmarks; nginx is also the end-to-end suite's update server
    nginx-light wrk wmctrl
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "setup-deps: all ${#packages[@]} packages present"
    exit 0
fi

echo "setup-deps: installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}" </dev/null
