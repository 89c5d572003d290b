#!/usr/bin/env bash
# The include check refuses every spelling that goes around a layer's
# include root, and passes the includes a layer may use.
# Usage: include_rules.sh SOURCE_DIR
set -euo pipefail
rules="$1/cmake/IncludeRules.cmake"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/engine/sqlite" "$tree/src/store" "$tree/src/demo" "$tree/build/layers/vandro_engine"
ln -s "$tree/src/engine" "$tree/build/layers/vandro_engine/engine"
touch "$tree/src/engine/Record.h" "$tree/src/demo/DemoTable.h"
printf '#include "../Record.h"\n' >"$tree/src/engine/sqlite/Cursor.cpp"
check() { cmake -DSOURCE_DIR="$tree" -DBINARY_DIR="$tree/build" -DSTAMP="$tree/stamp" -P "$rules" 2>&1; }
printf '#include "engine/Record.h"\n#include <QString>\n' >"$tree/src/store/Table.cpp"
out=$(check) || { echo "FAIL: allowed includes refused: $out"; exit 1; }
status=0
for spelling in '"engine/../demo/DemoTable.h"' '<engine/../demo/DemoTable.h>' '"../demo/DemoTable.h"' \
                "\"$tree/src/demo/DemoTable.h\"" '<QtWidgets/QWidget>'; do
  printf '#include %s\n' "$spelling" >"$tree/src/store/Table.cpp"
  if out=$(check); then
    echo "FAIL: #include $spelling passed"
    status=1
  elif ! grep -qF "src/store/Table.cpp" <<<"$out"; then
    echo "FAIL: #include $spelling refused without naming the file: $out"
    status=1
  fi
done
exit $status
