#!/usr/bin/env bash
# Times vandro-admin import and export on a server table against psql's \copy
# doing the same work on an equal table, in one run; and the search that
# finds nothing against psql counting the same text. Run it on a private
# cluster:
#   bench/with_private_postgres.sh bench/pg_import_export.sh [CSV] [RECORDS]
# CSV defaults to ../shared/data/gum-relations.csv, RECORDS to 1000000 (its
# records repeated with new Ids).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
admin="$here/build/vandro-admin"
csv=${1:-$here/../shared/data/gum-relations.csv}
records=${2:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$csv" "$records" "$work/big.csv" <<'PY'
import csv, sys
src, records, dst = sys.argv[1], int(sys.argv[2]), sys.argv[3]
rows = list(csv.reader(open(src, newline='', encoding='utf-8')))
header, body = rows[0], rows[1:]
with open(dst, 'w', newline='', encoding='utf-8') as f:
    w = csv.writer(f, lineterminator='\r\n')
    w.writerow(header)
    for n in range(records):
        w.writerow([str(n + 1)] + body[n % len(body)][1:])
PY

seconds() { local start=$(date +%s.%N); "$@" >/dev/null; echo "$(date +%s.%N) - $start" | bc; }
"$admin" create Bench Vandro.DB >/dev/null
psql -q -c 'CREATE TABLE "Plain" (LIKE "Vandro" INCLUDING ALL)'
import=$(seconds "$admin" import Bench Vandro.DB "$work/big.csv")
copy_in=$(seconds psql -q -c "\\copy \"Plain\" FROM '$work/big.csv' WITH (FORMAT csv, HEADER true)")
export=$(seconds "$admin" export Bench Vandro.DB "$work/out.csv")
copy_out=$(seconds psql -q -c "\\copy (SELECT * FROM \"Plain\" ORDER BY \"Id\") TO '$work/plain.csv' WITH (FORMAT csv, HEADER true)")
count=$(seconds psql -q -c "SELECT count(*) FROM \"Vandro\" WHERE \"Relation\" = 'nothing-matches'")
cmp -s "$work/out.csv" "$work/big.csv" && same=yes || same=no
printf '%-28s %10s %10s %8s\n' "$records records" "Vandro s" "psql s" ratio
printf '%-28s %10.2f %10.2f %8.2f\n' "import (COPY)" "$import" "$copy_in" "$(echo "$import / $copy_in" | bc -l)"
printf '%-28s %10.2f %10.2f %8.2f\n' "export" "$export" "$copy_out" "$(echo "$export / $copy_out" | bc -l)"
printf '%-28s %10s %10.3f\n' "psql count of a text" "-" "$count"
echo "export identical to the imported file: $same"
