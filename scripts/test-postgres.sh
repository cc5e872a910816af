#!/usr/bin/env bash
# A private PostgreSQL for the server's tests: `start DIR` makes a cluster in DIR and starts it
# listening only on a Unix socket in DIR, run by a user other than root (postgres, or nobody);
# its address goes to DIR/address. `stop DIR` stops it and removes DIR; `pause DIR` stops it
# and keeps its data, `resume DIR` starts a paused one again (the benchmark's stores).
set -euo pipefail
action=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/initdb" ] || { echo "no PostgreSQL server here (scripts/install-deps.sh installs it)" >&2; exit 1; }
as_owner=()
owner=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
    owner=postgres
    id postgres >/dev/null 2>&1 || owner=nobody
    as_owner=(runuser -u "$owner" --)
fi
case "$action" in
start)
    if [ -f "$dir/data/postmaster.pid" ]; then
        "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    chown "$owner" "$dir"
    chmod 700 "$dir"
    "${as_owner[@]}" "$bin/initdb" -D "$dir/data" -U "$owner" --auth=trust -E UTF8 \
        --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
    "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses='' -k $dir -c fsync=off -c max_connections=200" start >/dev/null
    echo "postgresql:///postgres?host=$dir&user=$owner" >"$dir/address"
    cat "$dir/address"
    ;;
pause)
    "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
resume)
    "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses='' -k $dir -c fsync=off -c max_connections=200" start >/dev/null
    ;;
stop)
    if [ -f "$dir/data/postmaster.pid" ]; then
        "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    fi
    rm -rf "$dir"
    ;;
*)
    echo "usage: $0 start|stop|pause|resume DIR" >&2
    exit 2
    ;;
esac
