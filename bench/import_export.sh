#!/usr/bin/env bash
# Times vandro-admin import and export against the sqlite3 shell doing the
# same work on an equivalent table, in one run. Usage:
#   bench/import_export.sh [CSV] [COPIES]
# CSV defaults to ../shared/data/gum-relations.csv; COPIES (default 20)
# repeats its records with new Ids to make a larger file.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
admin="$here/build/vandro-admin"
csv=${1:-$here/../shared/data/gum-relations.csv}
copies=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VANDRO_ENGINE_CONFIG="$work/engine.conf"

# A larger file: the records COPIES times, Ids renumbered.
python3 - "$csv" "$copies" "$work/big.csv" <<'PY'
import csv, sys
src, copies, dst = sys.argv[1], int(sys.argv[2]), sys.argv[3]
rows = list(csv.reader(open(src, newline='', encoding='utf-8')))
header, body = rows[0], rows[1:]
with open(dst, 'w', newline='', encoding='utf-8') as f:
    w = csv.writer(f, lineterminator='\r\n')
    w.writerow(header)
    n = 0
    for _ in range(copies):
        for r in body:
            n += 1
            w.writerow([str(n)] + r[1:])
PY
records=$(( $(python3 -c "import csv,sys;print(sum(1 for _ in csv.reader(open(sys.argv[1],newline='',encoding='utf-8'))))" "$work/big.csv") - 1 ))

schema='CREATE TABLE "Vandro" ("Id" INTEGER NOT NULL PRIMARY KEY, "From" VARCHAR(60), "Relation" VARCHAR(30), "Extended" VARCHAR(10), "Embedded" VARCHAR(10), "Volitional" VARCHAR(10), "Order" VARCHAR(10), "Span1" TEXT, "Span2" TEXT, "L1" INTEGER, "H1" INTEGER, "L2" INTEGER, "H2" INTEGER, "Segments_distance" INTEGER, "Marker1" VARCHAR(60), "Position1" VARCHAR(20), "Marker2" VARCHAR(60), "Position2" VARCHAR(20));'

seconds() { local s; s=$(date +%s.%N); "$@" >/dev/null; echo "$(date +%s.%N) - $s" | bc; }

mkdir "$work/sq" "$work/va"
t_sq_import=$(seconds sqlite3 "$work/sq/Vandro.DB" "PRAGMA journal_mode=WAL;" "PRAGMA synchronous=FULL;" "$schema" ".import --csv --skip 1 $work/big.csv Vandro")
"$admin" create "$work/va/" Vandro.DB
t_va_import=$(seconds "$admin" import "$work/va/" Vandro.DB "$work/big.csv")
t_sq_export=$(seconds sqlite3 -csv -header "$work/sq/Vandro.DB" ".once $work/sq.csv" "SELECT * FROM Vandro ORDER BY Id;")
t_va_export=$(seconds "$admin" export "$work/va/" Vandro.DB "$work/va.csv")

printf '%-8s %10s %12s %12s %8s\n' work records sqlite3_s vandro_s ratio
printf '%-8s %10d %12.3f %12.3f %8.2f\n' import "$records" "$t_sq_import" "$t_va_import" "$(echo "$t_va_import / $t_sq_import" | bc -l)"
printf '%-8s %10d %12.3f %12.3f %8.2f\n' export "$records" "$t_sq_export" "$t_va_export" "$(echo "$t_va_export / $t_sq_export" | bc -l)"
cmp -s "$work/va.csv" "$work/big.csv" && echo "export is byte-identical to the imported file"
