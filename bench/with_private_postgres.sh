#!/usr/bin/env bash
# Runs a command against a private PostgreSQL cluster made for it: initdb and
# pg_ctl in a temporary folder, a Unix socket there, no TCP, durable commits
# (fsync on, as a team's server has them). The command finds the alias
# "Bench" in $VANDRO_ENGINE_CONFIG, VANDRO_BENCH_ALIAS=Bench, and psql's
# PGHOST, PGDATABASE and PGUSER set. The cluster is stopped and removed at
# the end, whatever happens.
# Usage: bench/with_private_postgres.sh COMMAND [ARGUMENTS...]
set -euo pipefail
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)
work=$(mktemp -d /tmp/vandro-bench-pg-XXXXXX)
as_postgres=()
if [ "$(id -u)" = 0 ]; then
  chown postgres:postgres "$work"
  as_postgres=(runuser -u postgres --)
fi
stop() {
  "${as_postgres[@]}" "$bin/pg_ctl" -D "$work/data" -m fast -w stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap stop EXIT
"${as_postgres[@]}" "$bin/initdb" -D "$work/data" -U postgres -A trust -E UTF8 --no-locale >/dev/null
"${as_postgres[@]}" "$bin/pg_ctl" -D "$work/data" -l "$work/server.log" -w \
  -o "-c listen_addresses='' -c unix_socket_directories='$work' -c shared_buffers=256MB" start >/dev/null
"${as_postgres[@]}" "$bin/createdb" -h "$work" -U postgres bench
cat >"$work/engine.conf" <<CONF
[Bench]
driver = postgresql
host = $work
dbname = bench
user = postgres
CONF
export VANDRO_ENGINE_CONFIG=$work/engine.conf VANDRO_BENCH_ALIAS=Bench PGHOST=$work PGDATABASE=bench PGUSER=postgres
"$@"
