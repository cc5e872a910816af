#!/usr/bin/env bash
# Installs what is missing, builds, fuzzes the parsers briefly and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# Short libFuzzer runs of the parsers of untrusted input (clang build in build-fuzz/).
[ "${SONVERA_SKIP_FUZZ:-0}" = 1 ] || scripts/fuzz.sh
cd build
ctest --output-on-failure --timeout 600 -j "$(nproc)"

# The Debian package: built, installed on this machine, started from the install prefix, and
# its desktop entry, AppStream data and the server's unit checked as installed.
if [ "${SONVERA_SKIP_PACKAGE:-0}" != 1 ]; then
    rm -f sonvera_*.deb
    cpack -G DEB >/dev/null
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends ./sonvera_*.deb
    /usr/bin/sonvera --help >/dev/null
    /usr/bin/sonvera-infod --help >/dev/null
    # the server's unit is installed, names the installed program, and is not enabled
    grep -q '^ExecStart=/usr/bin/sonvera-infod ' /usr/lib/systemd/system/sonvera-infod.service
    [ ! -e /etc/systemd/system/multi-user.target.wants/sonvera-infod.service ]
    if command -v systemd-analyze >/dev/null; then
        systemd-analyze verify /usr/lib/systemd/system/sonvera-infod.service
    fi
    desktop-file-validate /usr/share/applications/org.sonvera.Sonvera.desktop
    appstreamcli validate --no-net /usr/share/metainfo/org.sonvera.Sonvera.metainfo.xml
fi
