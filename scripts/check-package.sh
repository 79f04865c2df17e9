#!/usr/bin/env bash
# Makes the Debian package from a built build folder and checks it: the desktop entry validates,
# the package holds what a user needs, and lintian finds no error or warning (packaging/debian/
# lintian-overrides says why each overridden tag does not apply).
#
#     bash scripts/check-package.sh [BUILD_DIR]      (default: build)
#
# Prints the package's path on its last line; exits 1 on the first failed check.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build}

fail() {
    echo "check-package: $*" >&2
    exit 1
}

for entry in packaging/zorvik.desktop packaging/zorvik-browser.desktop; do
    desktop-file-validate "$entry" || fail "$entry does not validate"
done

# The package of an earlier build must not be the one checked.
rm -f "$build"/zorvik_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || {
    cat "$build/cpack.log" >&2
    fail "cpack failed (log above)"
}
deb=$(find "$build" -maxdepth 1 -name 'zorvik_*.deb' | head -n 1)
[[ -n $deb ]] || fail "cpack made no zorvik_*.deb in $build"

contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
expect=(
    ./usr/bin/zorvik
    ./usr/bin/zorvik-browser
    ./usr/share/applications/zorvik-browser.desktop
    ./usr/share/man/man1/zorvik-browser.1.gz
    ./usr/share/halvern/1by1.jpg
    ./usr/share/halvern/zorvikhosts.ini
    ./usr/share/applications/zorvik.desktop
    ./usr/share/icons/hicolor/scalable/apps/zorvik.svg
    ./usr/share/icons/hicolor/48x48/apps/zorvik.png
    ./usr/share/man/man1/zorvik.1.gz
    ./usr/share/doc/zorvik/copyright
    ./usr/share/doc/zorvik/changelog.Debian.gz
)
# The helper and its units ship once the helper is part of the build.
if [[ -x $build/app/zorvik-helper ]]; then
    expect+=(
        ./usr/libexec/zorvik-helper
        ./usr/lib/systemd/system/zorvik-helper.socket
        ./usr/lib/systemd/system/zorvik-helper.service
        ./usr/share/man/man8/zorvik-helper.8.gz
    )
fi
for path in "${expect[@]}"; do
    grep -qxF "$path" <<<"$contents" || fail "$deb lacks $path"
done

lintian --fail-on error,warning "$deb" || fail "lintian found errors or warnings in $deb"
echo "$deb"
