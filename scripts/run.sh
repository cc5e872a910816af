#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player in its data folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/install-deps.sh
scripts/build.sh
data="${SONVERA_DATA:-${XDG_DATA_HOME:-$HOME/.local/share}/sonvera}"
mkdir -p "$data"
# The shipped database is copied once; later runs keep the user's ratings.
[ -f "$data/Sonvera.mdb" ] || cp build/db/Sonvera.mdb "$data/Sonvera.mdb"

# With no song-information server configured, the player uses a local sonvera-infod on
# 127.0.0.1:8470 (its default); start one for this run. If another run's server already has
# the port, this one exits at once and the player talks to that one.
infod_pid=""
configured=""
site_given=""
for arg in "$@"; do
    if [ "$arg" = "--info-server" ]; then configured=yes; fi
    if [ "$arg" = "--site" ]; then site_given=yes; fi
done
extra=()
if [ -z "${SONVERA_INFO_SERVER:-}" ] && [ -z "$configured" ] && [ -x build/server/sonvera-infod ]; then
    build/server/sonvera-infod --listen 127.0.0.1:8470 --db "$data/sonvera-infod.db" \
        >>"$data/sonvera-infod.log" 2>&1 &
    infod_pid=$!
    trap 'kill "$infod_pid" 2>/dev/null || true' EXIT
    # the local server also answers the update check, the feedback page and similar artists
    if [ -z "${SONVERA_SITE:-}" ] && [ -z "$site_given" ]; then
        extra=(--site http://127.0.0.1:8470/)
    fi
fi

cd "$data"
"$root/build/app/sonvera" ${extra[@]+"${extra[@]}"} "$@"
