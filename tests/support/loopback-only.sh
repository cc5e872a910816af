#!/bin/sh
# Usage: loopback-only.sh COMMAND [ARGS...]
# Runs COMMAND in a network namespace of its own with only the loopback interface up, so that
# nothing it sends can leave the machine. Exits 77 (CTest's skip) where no namespace can be made.
unshare -n true 2>/dev/null || { echo "loopback-only.sh: no network namespace here" >&2; exit 77; }
SONVERA_LOOPBACK_ONLY=1 exec unshare -n sh -c 'ip link set lo up && exec "$@"' sh "$@"
