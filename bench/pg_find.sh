#!/usr/bin/env bash
# The Find on a server table of RECORDS records: a find that misses from the
# first record (a span text, letter case aside; a document's records without
# a marker) and the count of records without a marker, against psql sending
# the server the same statements (the SQL the driver writes, typed out
# here). Run it on a private cluster:
#   bench/with_private_postgres.sh bench/pg_find.sh [RECORDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
records=${1:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/build/bench/engine_bench" --benchmark_filter="BM_FindMiss/$records/|BM_FindCount/$records\$" \
  --benchmark_format=csv 2>/dev/null >"$work/vandro.csv"
table="\"Bench$records\""
fold() { echo "replace(lower(upper(($1)::text COLLATE \"und-x-icu\")), chr(962), chr(963))"; }
no_marker() { echo "nullif(trim(\"$1\", E' \\t\\r\\n'), '') IS NULL"; }
text_miss="SELECT * FROM $table WHERE (\"Id\") > (1) AND ((strpos($(fold '"Span1"'), $(fold "'Nothing-Matches'")) > 0) OR (strpos($(fold '"Span2"'), $(fold "'Nothing-Matches'")) > 0)) ORDER BY \"Id\" LIMIT 1;"
document_miss="SELECT * FROM $table WHERE (\"Id\") > (1) AND (\"From\" = 'GUM_bench_none' COLLATE \"C\") AND ($(no_marker Marker1)) AND ($(no_marker Marker2)) ORDER BY \"Id\" LIMIT 1;"
count="SELECT count(*) FROM $table WHERE ($(no_marker Marker1)) AND ($(no_marker Marker2));"

# psql's own timing of a statement: the median of five runs.
psql_ms() {
  (echo '\timing on'; for _ in 1 2 3 4 5; do echo "$1"; done) | psql -q 2>&1 |
    sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p' | sort -n | sed -n 3p
}
vandro_ms() {
  awk -F, -v name="\"$1\"" '$1 == name {
    unit = $5; gsub(/"/, "", unit)
    print $3 / (unit == "ns" ? 1e6 : unit == "us" ? 1e3 : unit == "s" ? 1e-3 : 1) }' "$work/vandro.csv"
}
printf '%-40s %10s %10s %8s\n' "$records records" "Vandro ms" "psql ms" ratio
row() {
  local vandro server
  vandro=$(vandro_ms "$2")
  server=$(psql_ms "$3")
  printf '%-40s %10.1f %10.1f %8.2f\n' "$1" "$vandro" "$server" "$(echo "$vandro / $server" | bc -l)"
}
row "find miss: span text" "BM_FindMiss/$records/0" "$text_miss"
row "find miss: document without a marker" "BM_FindMiss/$records/1" "$document_miss"
row "count without a marker" "BM_FindCount/$records" "$count"
