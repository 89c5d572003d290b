#!/usr/bin/env bash
# A post (find the record, lock it, read it again, store it over what was
# read, unlock) and the relation search that finds nothing, on a server
# table of RECORDS records, against the server doing the same requests for
# pgbench and psql without Vandro. Run it on a private cluster:
#   bench/with_private_postgres.sh bench/pg_post_search.sh [RECORDS]
# pgbench's update sets one column on the key alone; Vandro's sets every
# writable column on the key and the values the edit read, so the ratio
# leans against Vandro.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
records=${1:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/build/bench/engine_bench" --benchmark_filter="BM_Modify/$records\$|BM_SearchMiss/$records\$" \
  --benchmark_format=csv 2>/dev/null >"$work/vandro.csv"
table="Bench$records"
oid=$(psql -Atc "SELECT '\"$table\"'::regclass::oid")
cat >"$work/post.sql" <<SQL
\set id random(1, $records)
SELECT * FROM "$table" WHERE "Id" = :id ORDER BY "Id" LIMIT 1;
SELECT l, CASE WHEN l THEN set_config('application_name', 'Vandro since 0 on bench', false) END FROM pg_try_advisory_lock($oid, :id) AS l;
SELECT * FROM "$table" WHERE "Id" = :id ORDER BY "Id" LIMIT 1;
UPDATE "$table" SET "Marker1" = 'because' WHERE "Id" = :id RETURNING "Id";
SELECT pg_advisory_unlock($oid, :id);
SQL
pgbench_ms=$(pgbench -n -M prepared -T 10 -f "$work/post.sql" 2>/dev/null | sed -n 's/^latency average = \([0-9.]*\) ms/\1/p')
count_ms=$( (echo '\timing on'; for _ in 1 2 3 4 5; do echo "SELECT count(*) FROM \"$table\" WHERE \"Relation\" = 'nothing-matches';"; done) |
  psql -q 2>&1 | sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p' | sort -n | sed -n 3p)
vandro_ms() {
  awk -F, -v name="\"$1/$records\"" '$1 == name {
    unit = $5; gsub(/"/, "", unit)
    print $3 / (unit == "ns" ? 1e6 : unit == "us" ? 1e3 : unit == "s" ? 1e-3 : 1) }' "$work/vandro.csv"
}
post_ms=$(vandro_ms BM_Modify)
search_ms=$(vandro_ms BM_SearchMiss)
printf '%-34s %10s %10s %8s\n' "$records records" "Vandro ms" "server ms" ratio
printf '%-34s %10.3f %10.3f %8.2f\n' "post (against pgbench)" "$post_ms" "$pgbench_ms" "$(echo "$post_ms / $pgbench_ms" | bc -l)"
printf '%-34s %10.1f %10.1f %8.2f\n' "search miss (against count(*))" "$search_ms" "$count_ms" "$(echo "$search_ms / $count_ms" | bc -l)"
