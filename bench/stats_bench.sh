#!/usr/bin/env bash
# Times vandro-admin stats against the sqlite3 shell running the same
# grouping queries on the same file, in one run. Usage:
#   bench/stats_bench.sh [CSV] [RECORDS]
# CSV defaults to ../shared/data/gum-relations.csv, whose records are
# repeated with new Ids up to RECORDS (default 1,000,000). The table is kept
# in $VANDRO_BENCH_DIR (default /tmp/vandro-bench) between runs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
admin="$here/build/vandro-admin"
csv=${1:-$here/../shared/data/gum-relations.csv}
records=${2:-1000000}
dir=${VANDRO_BENCH_DIR:-/tmp/vandro-bench}/stats-$records
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VANDRO_ENGINE_CONFIG="$work/engine.conf"
table="$dir/Vandro.DB"

if [ ! -f "$table" ]; then
  mkdir -p "$dir"
  "$admin" create "$dir/" Vandro.DB >/dev/null
  "$admin" import "$dir/" Vandro.DB "$csv" >/dev/null
  # The records again and again, with new Ids, until there are enough.
  sqlite3 "$table" "
    WITH RECURSIVE copy(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM copy WHERE k < ($records / (SELECT count(*) FROM Vandro)) + 1)
    INSERT INTO Vandro SELECT Id + k * 10000000, \"From\" || '_' || k, Relation, Extended, Embedded, Volitional, \"Order\",
      Span1, Span2, L1, H1, L2, H2, Segments_distance, Marker1, Position1, Marker2, Position2
    FROM Vandro, copy;
    DELETE FROM Vandro WHERE Id IN (SELECT Id FROM Vandro ORDER BY Id DESC LIMIT max(0, (SELECT count(*) FROM Vandro) - $records));"
fi
count=$(sqlite3 "$table" "SELECT count(*) FROM Vandro")

# No marker is null, empty or blanks only, as the engine's own queries say.
has() { echo "nullif(trim(\"$1\", ' '||char(9)||char(13)||char(10)), '') IS NOT NULL"; }
marked="CASE WHEN $(has Marker1) OR $(has Marker2) THEN 1 ELSE 0 END"
markers="SELECT \"Relation\", marker, count(*) FROM (SELECT \"Relation\", \"Marker1\" AS marker FROM \"Vandro\" WHERE $(has Marker1) UNION ALL SELECT \"Relation\", \"Marker2\" AS marker FROM \"Vandro\" WHERE $(has Marker2)) AS markers GROUP BY \"Relation\", marker"
declare -A queries=(
  [relation]="SELECT \"Relation\", count(*), sum($marked) FROM \"Vandro\" GROUP BY \"Relation\"; $markers"
  [marker]="$markers"
  [position]="SELECT \"Relation\", 1, \"Position1\", count(*) FROM \"Vandro\" WHERE $(has Marker1) GROUP BY \"Relation\", \"Position1\" UNION ALL SELECT \"Relation\", 2, \"Position2\", count(*) FROM \"Vandro\" WHERE $(has Marker2) GROUP BY \"Relation\", \"Position2\""
  [document]="SELECT \"From\", count(*), sum($marked) FROM \"Vandro\" GROUP BY \"From\""
)

# The best of five runs, in milliseconds.
best() {
  local best=999999 s e ms
  for _ in 1 2 3 4 5; do
    s=$(date +%s%N); "$@" >/dev/null; e=$(date +%s%N)
    ms=$(( (e - s) / 1000000 )); [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}

printf "%-10s %10s %16s %14s %8s\n" "--by" "records" "vandro-admin ms" "sqlite3 ms" "ratio"
for by in relation marker position document; do
  va=$(best "$admin" stats "$dir/" Vandro.DB --by "$by" --csv)
  sq=$(best sqlite3 "$table" "${queries[$by]}")
  printf "%-10s %10s %16s %14s %8.2f\n" "$by" "$count" "$va" "$sq" "$(echo "$va / $sq" | bc -l)"
done
