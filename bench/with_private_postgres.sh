#!/usr/bin/env bash
# Runs a command against a private PostgreSQL cluster made for it: initdb and
# pg_ctl in a temporary folder, a Unix socket there, no TCP, durable commits
# (fsync on, as a team's server has them). The command finds the alias
# "Bench" in $VANDRO_ENGINE_CONFIG, VANDRO_BENCH_ALIAS=Bench, and psql's
# PGHOST, PGDATABASE and PGUSER set. The cluster is stopped and removed at
# the end, whatever happens. With VANDRO_BENCH_AUTH=scram-sha-256 the server
# asks for a password (SCRAM), which libpq finds in a password file of the
# cluster's own (PGPASSFILE), as a team's server and an annotator's ~/.pgpass
# would have it; with VANDRO_BENCH_PASSWORD_FROM=session as well, libpq finds
# none and the engine offers the session's password, as the program does
# after its "Enter password" dialog.
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
if [ "${VANDRO_BENCH_AUTH:-trust}" = scram-sha-256 ]; then
  "${as_postgres[@]}" "$bin/psql" -h "$work" -U postgres -d bench -q \
    -c "SET password_encryption = 'scram-sha-256'; ALTER ROLE postgres PASSWORD 'bench'"
  echo "local all all scram-sha-256" >"$work/data/pg_hba.conf"
  "${as_postgres[@]}" "$bin/pg_ctl" -D "$work/data" reload >/dev/null
  if [ "${VANDRO_BENCH_PASSWORD_FROM:-file}" = session ]; then
    export VANDRO_BENCH_PASSWORD=bench PGPASSFILE=$work/no-pgpass
  else
    echo "*:*:*:postgres:bench" >"$work/pgpass"
    chmod 600 "$work/pgpass"
    export PGPASSFILE=$work/pgpass
  fi
fi
cat >"$work/engine.conf" <<CONF
[Bench]
driver = postgresql
host = $work
dbname = bench
user = postgres
CONF
export VANDRO_ENGINE_CONFIG=$work/engine.conf VANDRO_BENCH_ALIAS=Bench PGHOST=$work PGDATABASE=bench PGUSER=postgres
"$@"
