#!/usr/bin/env bash
# A private PostgreSQL for the server's tests and benchmark. `start DIR` makes a cluster in a
# folder of its own under /tmp (short enough for a socket path, reachable by its owner) and
# starts it listening only on a Unix socket there, run by a user other than root (postgres, or
# nobody); DIR/address holds its libpq address and DIR/cluster its folder. `stop DIR` stops
# it and removes both; `pause DIR` stops it and keeps its data, `resume DIR` starts it again.
set -euo pipefail
action=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "${bin:-}/initdb" ] || { echo "no PostgreSQL server here (scripts/install-deps.sh installs it)" >&2; exit 1; }
as_owner=()
owner=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
    owner=postgres
    id postgres >/dev/null 2>&1 || owner=nobody
    as_owner=(runuser -u "$owner" --)
fi
cluster=$(cat "$dir/cluster" 2>/dev/null || true)

run_server() {
    "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w -t 60 \
        -o "-c listen_addresses='' -k $cluster -c fsync=off -c max_connections=200" start >/dev/null
}

case "$action" in
start)
    if [ -n "$cluster" ] && [ -f "$cluster/data/postmaster.pid" ]; then
        "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    [ -n "$cluster" ] && rm -rf "$cluster"
    mkdir -p "$dir"
    cluster=$(mktemp -d /tmp/sonvera-pg.XXXXXX)
    chown "$owner" "$cluster"
    "${as_owner[@]}" "$bin/initdb" -D "$cluster/data" -U "$owner" --auth=trust -E UTF8 \
        --locale=C.UTF-8 >"$cluster/initdb.log" 2>&1
    run_server
    echo "$cluster" >"$dir/cluster"
    echo "postgresql:///postgres?host=$cluster&user=$owner" >"$dir/address"
    cat "$dir/address"
    ;;
pause)
    "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -m fast -w stop >/dev/null
    ;;
resume)
    [ -n "$cluster" ] && [ -d "$cluster/data" ] && run_server
    ;;
stop)
    if [ -n "$cluster" ] && [ -f "$cluster/data/postmaster.pid" ]; then
        "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -m fast -w stop >/dev/null
    fi
    [ -n "$cluster" ] && rm -rf "$cluster"
    rm -f "$dir/cluster" "$dir/address"
    ;;
*)
    echo "usage: $0 start|stop|pause|resume DIR" >&2
    exit 2
    ;;
esac
