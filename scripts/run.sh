#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player in its data folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
data="${SONVERA_DATA:-${XDG_DATA_HOME:-$HOME/.local/share}/sonvera}"
mkdir -p "$data"
# The shipped database is copied once; later runs keep the user's ratings.
[ -f "$data/Sonvera.mdb" ] || cp build/db/Sonvera.mdb "$data/Sonvera.mdb"
cd "$data"
exec "$OLDPWD/build/app/sonvera" "$@"
