#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config git
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libsqlite3-dev sqlite3 libcpp-httplib-dev libboost-dev postgresql libpq-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-webengine-dev qt6-translations-l10n
    libmpg123-dev libsdl2-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-libav gstreamer1.0-alsa
    libid3-3.8.3-dev libtag1-dev libchromaprint-dev libicu-dev zlib1g-dev
    libasio-dev libssl-dev libminiupnpc-dev iproute2
    libespeak-ng-dev espeak-ng
    lame sox libsox-fmt-mp3 flac opus-tools vorbis-tools ffmpeg
    clang libclang-rt-14-dev
    xvfb xauth dbus-daemon audacious
    desktop-file-utils appstream dpkg-dev file
    bison libglib2.0-dev gettext libgnutls28-dev util-linux xz-utils
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
