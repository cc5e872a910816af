#!/usr/bin/env bash
# The server benchmark on the same data in both stores: SQLite in DIR/infod.db and a private
# PostgreSQL in DIR/postgres (started and stopped here), SUBMISSIONS rows each (default
# 1,000,000); PG_SUBMISSIONS (e.g. 10000000) adds a run of that many on PostgreSQL alone.
# Stores are kept in DIR for later runs. Loopback only.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bench=${BENCH:-$root/build/bench/server/sonvera-bench-infod}
dir=${1:-$root/build/bench/server/data}
submissions=${SUBMISSIONS:-1000000}
seconds=${SECONDS_EACH:-10}
mkdir -p "$dir"
"$bench" --submissions "$submissions" --database "$dir/infod-$submissions.db" --seconds "$seconds"

# PostgreSQL keeps its cluster between runs; a new one only when there is none.
if [ ! -f "$dir/postgres/address" ] || ! "$root/scripts/test-postgres.sh" resume "$dir/postgres"; then
    "$root/scripts/test-postgres.sh" start "$dir/postgres" >/dev/null
fi
trap '"$root/scripts/test-postgres.sh" pause "$dir/postgres"' EXIT
address=$(cat "$dir/postgres/address")
for n in "$submissions" ${PG_SUBMISSIONS:-}; do
    psql -q "$address" -c "CREATE DATABASE infod_$n" 2>/dev/null || true
    "$bench" --submissions "$n" --database "${address/\/postgres?//infod_$n?}" --seconds "$seconds"
done
